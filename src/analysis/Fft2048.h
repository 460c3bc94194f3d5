#pragma once

#include "analysis/FfmpegPtr.h"

#include <cstddef>

// Hann-windowed real FFT of 2048 samples over FFmpeg's av_tx. Magnitudes are
// scaled so that a full-scale sine at a bin centre gives 1.0 in that bin:
// |X[k]| * 2 / sum(window).
class Fft2048 {
public:
    static constexpr int kSize = 2048;
    static constexpr int kBins = 1024;

    Fft2048();
    Fft2048(const Fft2048&) = delete;
    Fft2048& operator=(const Fft2048&) = delete;

    // False when av_tx could not set the transform up (out of memory).
    bool valid() const { return m_tx != nullptr; }

    // Windows the first `count` (at most kSize) of `samples`, zero beyond
    // them, and writes kBins magnitudes.
    void transform(const float* samples, std::size_t count, float magnitudes[kBins]);

private:
    FfmpegPtr<AVTXContext> m_tx;
    void (*m_fn)(AVTXContext*, void*, void*, std::ptrdiff_t) = nullptr;
    // av_malloc'd: av_tx wants CPU-aligned buffers.
    FfmpegMemory<float> m_in; // the windowed samples
    FfmpegMemory<float> m_window;
    FfmpegMemory<float> m_out; // kSize/2 + 1 complex values
    float m_scale = 0.0f;
};
