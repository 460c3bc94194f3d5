#include "analysis/FrameEdges.h"

#include "analysis/VectorClones.h"

#include <algorithm>
#include <cmath>

namespace {

// The quietest floor a frame is taken to have: digital silence as the level
// spectrum writes it (-120 dB).
constexpr double kSilentPower = 1e-12;
// Ends are looked for down to about 2 kHz at 44.1 kHz; lower, nothing a
// codec or a resampler does is told apart from the music itself.
constexpr int kLowestEnd = 93;
constexpr int kTopBins = 32;
// The class's thresholds as factors of power.
const double kEndRatio = PowerRatio(FrameEdges::kEndAboveFloorDb);
const double kCutRatio = PowerRatio(FrameEdges::kCutDb);
const double kAbruptRatio = PowerRatio(FrameEdges::kAbruptDb);

double MeanPower(const double* power, int first, int last) {
    double sum = 0.0;
    for (int b = first; b <= last; ++b)
        sum += power[b];
    return sum / double(last - first + 1);
}

} // namespace

KORVANE_VECTOR_CLONES void FrameEdges::addPower(const FramePower& framePower) {
    ++m_frames;
    const double* power = framePower.data();
    std::array<double, kTopBins> top;
    std::copy(power + kBins - kTopBins, power + kBins, top.begin());
    std::nth_element(top.begin(), top.begin() + kTopBins / 2, top.end());
    const double floor = std::max(top[kTopBins / 2], kSilentPower);
    const double threshold = floor * kEndRatio;

    // The end: 8 bins above it must lie inside the spectrum to measure the fall.
    // The highest such bin, found in one pass without a branch per bin so
    // that it runs in vector registers.
    int end = -1;
    for (int b = kLowestEnd; b <= kBins - 4; ++b) {
        const bool ends = power[b] > threshold && power[b - 1] > threshold;
        end = ends ? b : end;
    }
    if (end < 0 || end + 8 > kBins - 1)
        return;
    const std::size_t at = std::size_t(end);
    ++m_ending[at];
    if (MeanPower(power, end - 8, end - 3) >= kCutRatio * MeanPower(power, end + 3, end + 8))
        ++m_cut[at];
    if (MeanPower(power, end - 2, end) >= kAbruptRatio * MeanPower(power, end + 3, end + 5))
        ++m_abrupt[at];
}

namespace {

std::uint64_t Sum(const std::array<std::uint32_t, FrameEdges::kBins>& counts, int first, int last) {
    first = std::max(first, 0);
    last = std::min(last, FrameEdges::kBins - 1);
    std::uint64_t sum = 0;
    for (int b = first; b <= last; ++b)
        sum += counts[std::size_t(b)];
    return sum;
}

} // namespace

std::uint64_t FrameEdges::endingIn(int first, int last) const {
    return Sum(m_ending, first, last);
}

std::uint64_t FrameEdges::cutIn(int first, int last) const {
    return Sum(m_cut, first, last);
}

std::uint64_t FrameEdges::abruptIn(int first, int last) const {
    return Sum(m_abrupt, first, last);
}

void FrameEdges::setCounts(int bin, std::uint32_t ending, std::uint32_t cut, std::uint32_t abrupt) {
    m_ending[std::size_t(bin)] = ending;
    m_cut[std::size_t(bin)] = cut;
    m_abrupt[std::size_t(bin)] = abrupt;
}
