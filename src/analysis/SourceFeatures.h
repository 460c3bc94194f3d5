#pragma once

#include "analysis/FrameEdges.h"

#include <array>
#include <cstdint>

// What the second opinion gathers from each audible FFT frame of the single
// decoding pass, in fixed memory: for each band of the spectrum, in the frames
// where the band about a kilohertz below carries sound, how often this band
// is empty (at the frame's floor) and how often it is about as full as that
// lower band. Lossy codecs switch their highest bands wholly on and off from
// frame to frame (spectral holes), so such a band is often both; a filter or a
// natural roll-off takes about the same share in every frame, so it is rarely
// either in the same band.
class SourceFeatures {
public:
    static constexpr int kBins = 1024;
    static constexpr int kBandBins = 16; // 344 Hz at 44.1 kHz, narrower than a codec's high bands
    static constexpr int kBands = kBins / kBandBins;
    // The band compared with: three bands (about 1 kHz at 44.1 kHz) lower.
    static constexpr int kBelowOffset = 3;

    // One audible frame, as its power per bin.
    void addPower(const FramePower& power);

    std::int64_t frames() const { return m_frames; }
    // Frames in which the band kBelowOffset lower carried sound well above the
    // frame's own floor (the level near Nyquist).
    std::uint32_t carriedBelow(int band) const { return m_carriedBelow[std::size_t(band)]; }
    // Of those, frames in which this band lay at that floor.
    std::uint32_t emptyWhileCarried(int band) const { return m_empty[std::size_t(band)]; }
    // Of those, frames in which this band was nearly as loud as the lower one.
    std::uint32_t fullWhileCarried(int band) const { return m_full[std::size_t(band)]; }

    // How wholly the band switches on and off: the smaller of its empty and
    // full shares of the carried frames; 0 below `minCarried` carried frames.
    double switching(int band, std::uint32_t minCarried) const;
    // The share of carried frames in which bands first..last lay empty; 0
    // below `minCarried` carried frames.
    double emptyShare(int firstBand, int lastBand, std::uint32_t minCarried) const;
    // The band of the largest `switching` among bands first..last, -1 if none.
    int mostSwitchingBand(int firstBand, int lastBand, std::uint32_t minCarried) const;

    // Where each frame's sound ends and how (fed the same frames).
    const FrameEdges& edges() const { return m_edges; }
    FrameEdges& edges() { return m_edges; }

    // For tests: sets the counts of one band.
    void setCounts(int band, std::uint32_t carriedBelow, std::uint32_t empty, std::uint32_t full);
    void setFrames(std::int64_t frames) { m_frames = frames; }

private:
    FrameEdges m_edges;
    std::int64_t m_frames = 0;
    std::array<std::uint32_t, kBands> m_carriedBelow{};
    std::array<std::uint32_t, kBands> m_empty{};
    std::array<std::uint32_t, kBands> m_full{};
};
