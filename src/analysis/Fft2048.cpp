#include "analysis/Fft2048.h"

#include "analysis/VectorClones.h"

#include <algorithm>
#include <cmath>
#include <numbers>

extern "C" {
#include <libavutil/mem.h>
#include <libavutil/tx.h>
}

Fft2048::Fft2048()
    : m_in(static_cast<float*>(av_malloc(sizeof(float) * kSize))),
      m_window(static_cast<float*>(av_malloc(sizeof(float) * kSize))),
      m_out(static_cast<float*>(av_malloc(sizeof(AVComplexFloat) * (kSize / 2 + 1)))) {
    if (!m_in || !m_window || !m_out)
        return;
    float* window = m_window.get();
    // Periodic Hann: its samples sum to exactly kSize / 2.
    double sum = 0.0;
    for (int n = 0; n < kSize; ++n) {
        window[n] = float(0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * n / kSize));
        sum += window[n];
    }
    m_scale = float(2.0 / sum);
    const float unity = 1.0f;
    AVTXContext* tx = nullptr;
    av_tx_fn fn = nullptr;
    if (av_tx_init(&tx, &fn, AV_TX_FLOAT_RDFT, 0, kSize, &unity, 0) < 0)
        return; // valid() stays false
    m_tx.reset(tx);
    m_fn = fn;
}

KORVANE_VECTOR_CLONES void Fft2048::transform(const float* samples, std::size_t count,
                                              float magnitudes[kBins]) {
    float* in = m_in.get();
    const float* window = m_window.get();
    count = std::min<std::size_t>(count, kSize);
    for (std::size_t n = 0; n < count; ++n)
        in[n] = samples[n] * window[n];
    std::fill(in + count, in + kSize, 0.0f);
    m_fn(m_tx.get(), m_out.get(), in, sizeof(float));
    const auto* bins = reinterpret_cast<const AVComplexFloat*>(m_out.get());
    for (int k = 0; k < kBins; ++k)
        magnitudes[k] = std::sqrt(bins[k].re * bins[k].re + bins[k].im * bins[k].im) * m_scale;
}
