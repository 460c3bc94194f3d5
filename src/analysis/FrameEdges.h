#pragma once

#include "analysis/FramePower.h"

#include <array>
#include <cstdint>

// Where the sound of each audible FFT frame ends, and how it ends there, kept
// as counts per bin in fixed memory.
//
// A lossy codec stops coding at a coefficient: a frame's spectrum ends within
// the analysis window's main lobe, at the same place frame after frame, and
// where the codec drops its top bands for a frame, the frame ends abruptly
// well inside the band the file carries elsewhere. A filter or a resampler
// is linear and time-invariant: each frame meets its floor along the same
// slope, so where it ends moves with the frame's loudness, never abruptly
// inside the pass band.
class FrameEdges {
public:
    static constexpr int kBins = 1024;
    // The frame ends at the highest bin (with the one below it) this far
    // above the frame's floor (the median of its top 32 bins, or digital
    // silence).
    static constexpr double kEndAboveFloorDb = 25.0;
    // A cut: from the bins 3 to 8 below the end to those 3 to 8 above it the
    // level falls at least this far.
    static constexpr double kCutDb = 20.0;
    // Abrupt: from the last 3 bins up to the end to the bins 3 to 5 above it
    // the level falls at least this far, as only a band that simply stops,
    // blurred by the window's main lobe, does.
    static constexpr double kAbruptDb = 30.0;

    // One audible frame, as its power per bin.
    void addPower(const FramePower& power);

    std::int64_t frames() const { return m_frames; }
    // Frames whose sound ended at bins first..last (clamped), and of those,
    // the ones that ended with a cut or abruptly.
    std::uint64_t endingIn(int first, int last) const;
    std::uint64_t cutIn(int first, int last) const;
    std::uint64_t abruptIn(int first, int last) const;

    // For tests: sets the counts of one bin.
    void setCounts(int bin, std::uint32_t ending, std::uint32_t cut, std::uint32_t abrupt);

private:
    std::int64_t m_frames = 0;
    std::array<std::uint32_t, kBins> m_ending{};
    std::array<std::uint32_t, kBins> m_cut{};
    std::array<std::uint32_t, kBins> m_abrupt{};
};
