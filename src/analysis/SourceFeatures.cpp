#include "analysis/SourceFeatures.h"

#include "analysis/VectorClones.h"

#include <algorithm>
#include <cmath>

namespace {

// Mean power per bin, in dB, under which a band holds nothing whatever the
// top of the frame holds. The quantisation noise of 16-bit sound, mixed to
// mono, lies near -137 dB per bin in these units, but rounding quiet sound to
// 16 bits without dither spreads distortion some 15 dB higher.
constexpr double kDigitalFloorDb = -120.0;
// The least a frame's floor is taken to be when judging what the band below
// carries: the quantisation noise itself.
constexpr double kQuantisationFloorDb = -128.0;
// A band is empty within this much of the frame's floor ...
constexpr double kEmptyMarginDb = 6.0;
// ... and full within this much of the band a kilohertz below (a natural high
// end falls by a few dB per kilohertz).
constexpr double kFullMarginDb = 15.0;
// The lower band carries sound this far above the floor, and above a level
// that quiet passages of real music still reach.
constexpr double kCarriedMarginDb = 35.0;
constexpr double kCarriedMinDb = -100.0;

// The same levels as factors of power, for comparing band powers directly.
const double kDigitalFloor = PowerRatio(kDigitalFloorDb);
const double kQuantisationFloor = PowerRatio(kQuantisationFloorDb);
const double kEmptyMargin = PowerRatio(kEmptyMarginDb);
const double kFullMargin = PowerRatio(-kFullMarginDb);
const double kCarriedMargin = PowerRatio(kCarriedMarginDb);
const double kCarriedMin = PowerRatio(kCarriedMinDb);

} // namespace

// The levels are compared as powers (mean power per bin of each band, with a
// floor of -140 dB) rather than in decibels: the same comparisons, without a
// logarithm per band and frame.
KORVANE_VECTOR_CLONES void SourceFeatures::addPower(const FramePower& power) {
    m_edges.addPower(power);
    std::array<double, kBands> level;
    for (int band = 0; band < kBands; ++band) {
        // Four running sums side by side instead of one long chain of
        // additions: the compiler keeps them in one vector register.
        const double* p = power.data() + band * kBandBins;
        double sums[4] = {};
        for (int i = 0; i < kBandBins; i += 4) {
            for (int j = 0; j < 4; ++j)
                sums[j] += p[i + j];
        }
        const double sum = (sums[0] + sums[1]) + (sums[2] + sums[3]);
        level[std::size_t(band)] = sum / kBandBins + 1e-14;
    }
    // The frame's floor: its top band (dither or noise above a low-pass), or
    // the digital floor when that is emptier still.
    const double top = level[kBands - 1];
    const double emptyBelow = std::max(top, kDigitalFloor) * kEmptyMargin;
    const double carriedAbove =
        std::max(std::max(top, kQuantisationFloor) * kCarriedMargin, kCarriedMin);
    for (int band = kBelowOffset; band < kBands - 1; ++band) {
        const double lower = level[std::size_t(band - kBelowOffset)];
        if (lower <= carriedAbove)
            continue;
        const double here = level[std::size_t(band)];
        ++m_carriedBelow[std::size_t(band)];
        if (here < emptyBelow)
            ++m_empty[std::size_t(band)];
        else if (here >= lower * kFullMargin)
            ++m_full[std::size_t(band)];
    }
    ++m_frames;
}

double SourceFeatures::switching(int band, std::uint32_t minCarried) const {
    if (band < 0 || band >= kBands)
        return 0.0;
    const std::uint32_t carried = m_carriedBelow[std::size_t(band)];
    if (carried < std::max<std::uint32_t>(minCarried, 1))
        return 0.0;
    return double(std::min(m_empty[std::size_t(band)], m_full[std::size_t(band)])) /
           double(carried);
}

double SourceFeatures::emptyShare(int firstBand, int lastBand, std::uint32_t minCarried) const {
    firstBand = std::max(firstBand, 0);
    lastBand = std::min(lastBand, kBands - 1);
    std::uint64_t carried = 0;
    std::uint64_t empty = 0;
    for (int band = firstBand; band <= lastBand; ++band) {
        carried += m_carriedBelow[std::size_t(band)];
        empty += m_empty[std::size_t(band)];
    }
    if (carried < std::max<std::uint64_t>(minCarried, 1))
        return 0.0;
    return double(empty) / double(carried);
}

int SourceFeatures::mostSwitchingBand(int firstBand, int lastBand, std::uint32_t minCarried) const {
    firstBand = std::max(firstBand, 0);
    lastBand = std::min(lastBand, kBands - 1);
    int best = -1;
    double bestValue = 0.0;
    for (int band = firstBand; band <= lastBand; ++band) {
        const double value = switching(band, minCarried);
        if (value > bestValue) {
            bestValue = value;
            best = band;
        }
    }
    return best;
}

void SourceFeatures::setCounts(int band, std::uint32_t carriedBelow, std::uint32_t empty,
                               std::uint32_t full) {
    m_carriedBelow[std::size_t(band)] = carriedBelow;
    m_empty[std::size_t(band)] = empty;
    m_full[std::size_t(band)] = full;
}
