#include "analysis/SpectrogramColumns.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

// Cell by cell, the louder of the two.
void FoldInto(std::uint8_t* column, const std::uint8_t* cells) {
    for (int b = 0; b < kSpectrogramBins; ++b)
        column[b] = std::max(column[b], cells[b]);
}

} // namespace

SpectrogramColumns::SpectrogramColumns(std::int64_t plannedFrames, std::int64_t maxColumns)
    : m_maxColumns(std::max<std::int64_t>(maxColumns, 1)), m_planned(plannedFrames) {}

std::int64_t SpectrogramColumns::columnOf(std::int64_t frame) const {
    // 128 bits: a hostile stream may count frames far past what 64 bits times
    // the bound can hold.
    return std::int64_t((unsigned __int128)frame * std::uint64_t(m_maxColumns) /
                        std::uint64_t(m_span));
}

std::uint8_t SpectrogramColumns::addFrame(const float* magnitudes) {
    const SpectrogramLevelMapper& cellOf = SpectrogramLevelMapper::instance();
    if (m_span == 0 && m_frames < m_maxColumns) {
        ++m_frames;
        ++m_columns;
        return cellOf.mapFrame(magnitudes, m_levels.appendFrame(), kSpectrogramBins);
    }
    if (m_span == 0)
        startFolding();
    while (m_frames >= m_span)
        doubleSpan();

    const std::int64_t column = columnOf(m_frames);
    ++m_frames;
    std::uint8_t* cells = m_levels.row(column);
    if (column == m_columns) {
        // The first frame of a column: the row still holds stale cells.
        ++m_columns;
        return cellOf.mapFrame(magnitudes, cells, kSpectrogramBins);
    }
    const std::uint8_t loudest = cellOf.mapFrame(magnitudes, m_cells.data(), kSpectrogramBins);
    FoldInto(cells, m_cells.data());
    return loudest;
}

void SpectrogramColumns::startFolding() {
    // Laid out for the planned length, or for what has come when the plan
    // was already short of it.
    m_span = std::max(m_planned, m_frames + 1);
    m_columns = 0;
    for (std::int64_t frame = 0; frame < m_frames; ++frame) {
        // Columns never lie after their frames, so rows are folded forward
        // in place: a row is read before any later frame's column overwrites it.
        const std::int64_t column = columnOf(frame);
        if (column == m_columns) {
            ++m_columns;
            if (column != frame)
                std::memcpy(m_levels.row(column), m_levels.row(frame), kSpectrogramBins);
        } else {
            FoldInto(m_levels.row(column), m_levels.row(frame));
        }
    }
}

void SpectrogramColumns::doubleSpan() {
    // Frame i's column at twice the span is half its column now (rounded
    // down), so neighbouring pairs merge exactly.
    if (m_span > std::numeric_limits<std::int64_t>::max() / 2) {
        m_span = std::numeric_limits<std::int64_t>::max();
        return;
    }
    m_span *= 2;
    for (std::int64_t column = 0; column < m_columns; ++column) {
        if (column % 2 == 0) {
            if (column != 0)
                std::memcpy(m_levels.row(column / 2), m_levels.row(column), kSpectrogramBins);
        } else {
            FoldInto(m_levels.row(column / 2), m_levels.row(column));
        }
    }
    m_columns = (m_columns + 1) / 2;
}

void SpectrogramColumns::finish() {
    m_levels.truncate(m_columns);
}

int ReadSpectrogramColumns(HSTREAM stream, std::int64_t plannedFrames, SpectrogramColumns& columns,
                           const std::stop_token& stop,
                           const std::function<void(const float*)>& onFrame) {
    float magnitudes[kSpectrogramBins];
    std::uint8_t loudest = 0;
    while (columns.frames() < plannedFrames && !stop.stop_requested()) {
        if (BASS_ChannelGetData(stream, magnitudes, BASS_DATA_FFT2048) == BASS_DATA_ERROR)
            break;
        if (onFrame)
            onFrame(magnitudes);
        loudest = std::max(loudest, columns.addFrame(magnitudes));
    }
    columns.finish();
    return loudest;
}
