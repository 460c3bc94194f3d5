// The picture's columns as frames arrive, within a fixed bound whatever the
// length of the file.
#pragma once

#include "analysis/SpectrogramLevels.h"

#include <array>
#include <cstdint>
#include <functional>
#include <stop_token>

// At most this many columns: about 25 minutes of 44.1 kHz audio at one
// column per frame. The picture is 96 MiB and its level matrix 32 MiB; the
// window keeps the old picture on show while it draws the next, and the
// annotation draws the picture into a canvas, so two pictures stay well
// inside 400 MB with the program around them.
inline constexpr std::int64_t kSpectrogramMaxColumns = 32768;

// Takes one frame at a time. Up to `maxColumns` frames, each is a column of
// its own. From the frame after, consecutive frames share a column, each
// cell holding the loudest level of its frames (a cutoff stays a wall, a
// click stays visible): frame i goes to column i * maxColumns / span, where
// span is the planned frame count, so a stream as long as planned fills
// exactly `maxColumns` columns of nearly equal shares. A stream longer than
// planned doubles the span, merging neighbouring columns, and one that ends
// early leaves fewer columns; either way the cells never outgrow
// `maxColumns` columns, and each is folded as its frame arrives.
class SpectrogramColumns {
public:
    SpectrogramColumns(std::int64_t plannedFrames, std::int64_t maxColumns);

    // Maps the frame's 1024 magnitudes to cells and adds them; returns the
    // frame's loudest cell.
    std::uint8_t addFrame(const float* magnitudes);
    // Gives back the storage of rows past the columns in use; call once all
    // frames are in, before painting.
    void finish();

    std::int64_t frames() const { return m_frames; }
    std::int64_t columns() const { return m_columns; }
    // The cells, one stored row per column (after finish(), exactly `columns()` rows).
    SpectrogramLevels& levels() { return m_levels; }
    const SpectrogramLevels& levels() const { return m_levels; }

private:
    std::int64_t columnOf(std::int64_t frame) const;
    void startFolding();
    void doubleSpan();

    std::int64_t m_maxColumns;
    std::int64_t m_planned;
    std::int64_t m_span = 0; // frames the columns are laid out for; 0 while one per frame
    std::int64_t m_frames = 0;
    std::int64_t m_columns = 0;
    SpectrogramLevels m_levels;
    std::array<std::uint8_t, kSpectrogramBins> m_cells{};
};

// Reads FFT frames until the stream ends, `plannedFrames` are in or `stop` is
// requested (looked at before every frame), adding them to `columns` and
// handing each frame's magnitudes to `onFrame` when it is set. Returns the
// loudest cell value seen (0 if none).
int ReadSpectrogramColumns(HSTREAM stream, std::int64_t plannedFrames, SpectrogramColumns& columns,
                           const std::stop_token& stop = {},
                           const std::function<void(const float*)>& onFrame = {});
