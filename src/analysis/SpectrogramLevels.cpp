#include "analysis/SpectrogramLevels.h"

#include <QtGlobal>

#include <algorithm>
#include <cmath>
#include <limits>

std::uint8_t SpectrogramCellValue(float magnitude) {
    const double levelDb = 20.0 * std::log10(double(magnitude) + 1e-9);
    const double cell = (levelDb + 120.0) * 255.0 / 120.0;
    if (!(cell > 0.0)) // also catches not-a-number
        return 0;
    if (cell >= 255.0)
        return 255;
    return std::uint8_t(std::nearbyint(cell)); // default rounding: ties to even
}

const SpectrogramLevelMapper& SpectrogramLevelMapper::instance() {
    static const SpectrogramLevelMapper mapper;
    return mapper;
}

SpectrogramLevelMapper::SpectrogramLevelMapper()
    : m_buckets(std::size_t(1) << (32 - kDroppedBits)) {
    constexpr float kNever = std::numeric_limits<float>::infinity();
    constexpr std::uint32_t kSignBit = 0x80000000u;
    constexpr std::uint32_t kInfinityBits = 0x7f800000u;
    const auto cellAt = [](std::uint32_t bits) {
        return SpectrogramCellValue(std::bit_cast<float>(bits));
    };

    for (std::uint32_t key = 0; key < m_buckets.size(); ++key) {
        Bucket& bucket = m_buckets[key];
        const std::uint32_t first = key << kDroppedBits;
        const std::uint32_t last = first | ((1u << kDroppedBits) - 1);
        if (first >= kSignBit) {
            // Negative magnitudes never come from an FFT; they count as silence.
            bucket = {kNever, 0, 0};
            continue;
        }
        if (first >= kInfinityBits) {
            // +infinity is full scale; the not-a-numbers beside it (and above) are silence.
            bucket = {kNever, 0, 0};
            if (first == kInfinityBits)
                bucket = {kNever, 0, cellAt(kInfinityBits)};
            continue;
        }
        const std::uint8_t low = cellAt(first);
        const std::uint8_t high = cellAt(last);
        if (low == high) {
            bucket = {kNever, low, low};
            continue;
        }
        Q_ASSERT(high == low + 1);
        // The first magnitude of the bucket whose cell is `high`.
        std::uint32_t below = first;
        std::uint32_t reached = last;
        while (reached - below > 1) {
            const std::uint32_t middle = below + (reached - below) / 2;
            if (cellAt(middle) >= high)
                reached = middle;
            else
                below = middle;
        }
        bucket = {std::bit_cast<float>(reached), low, high};
    }
}

std::uint8_t* SpectrogramLevels::appendFrame() {
    const std::int64_t offset = m_frames % kFramesPerBlock;
    if (offset == 0)
        m_blocks.push_back(std::make_unique_for_overwrite<std::uint8_t[]>(
            std::size_t(kFramesPerBlock) * kSpectrogramBins));
    ++m_frames;
    return m_blocks.back().get() + offset * kSpectrogramBins;
}

std::int64_t PlannedSpectrogramFrames(HSTREAM stream) {
    BASS_CHANNELINFO info{};
    if (!BASS_ChannelGetInfo(stream, &info) || info.freq == 0)
        return 0;
    const QWORD bytes = BASS_ChannelGetLength(stream, BASS_POS_BYTE);
    if (bytes == QWORD(-1))
        return 0;
    const double seconds = BASS_ChannelBytes2Seconds(stream, bytes);
    // The nudge keeps an exact multiple of 2048 samples from losing its last
    // frame to the rounding of bytes -> seconds -> frames.
    const double frames = seconds * double(info.freq) / 2048.0 + 1e-9;
    if (!(frames >= 1.0))
        return 0;
    if (frames >= 9.0e18)
        return std::numeric_limits<std::int64_t>::max();
    return std::int64_t(frames);
}

int ReadSpectrogramLevels(HSTREAM stream, std::int64_t plannedFrames, SpectrogramLevels& levels) {
    const SpectrogramLevelMapper& cellOf = SpectrogramLevelMapper::instance();
    float magnitudes[kSpectrogramBins];
    std::uint8_t loudest = 0;
    while (levels.frames() < plannedFrames) {
        if (BASS_ChannelGetData(stream, magnitudes, BASS_DATA_FFT2048) == BASS_DATA_ERROR)
            break;
        std::uint8_t* cells = levels.appendFrame();
        std::uint8_t frameLoudest = 0;
        for (int b = 0; b < kSpectrogramBins; ++b) {
            cells[b] = cellOf(magnitudes[b]);
            frameLoudest = std::max(frameLoudest, cells[b]);
        }
        loudest = std::max(loudest, frameLoudest);
    }
    return loudest;
}
