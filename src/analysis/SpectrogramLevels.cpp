#include "analysis/SpectrogramLevels.h"

#include <QtGlobal>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

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

std::uint8_t SpectrogramLevelMapper::mapFrame(const float* magnitudes, std::uint8_t* cells,
                                              int count) const {
    // The table's address in a local: stores of bytes may alias anything, and
    // would make the compiler fetch it again for every cell.
    const Bucket* buckets = m_buckets.data();
    std::uint8_t loudest = 0;
    for (int i = 0; i < count; ++i) {
        const std::uint8_t cell = map(buckets, magnitudes[i]);
        cells[i] = cell;
        loudest = std::max(loudest, cell);
    }
    return loudest;
}

void SpectrogramLevels::FreeBlock::operator()(std::uint8_t* block) const {
    std::free(block);
}

std::uint8_t* SpectrogramLevels::appendFrame() {
    const std::int64_t offset = m_frames % kFramesPerBlock;
    if (offset == 0) {
        constexpr std::size_t kBytes = std::size_t(kFramesPerBlock) * kSpectrogramBins;
        m_blocks.emplace_back(); // room first, so a failed push cannot leak the block
        auto* block = static_cast<std::uint8_t*>(std::aligned_alloc(kBytes, kBytes));
        if (!block) {
            m_blocks.pop_back();
            throw std::bad_alloc();
        }
        m_blocks.back().reset(block);
        AdviseLargePages(block, kBytes);
    }
    ++m_frames;
    return m_blocks.back().get() + offset * kSpectrogramBins;
}

void SpectrogramLevels::releaseBlocksBefore(std::int64_t frame) {
    const std::size_t wholeBlocks =
        std::min(std::size_t(std::max<std::int64_t>(frame, 0) / kFramesPerBlock), m_blocks.size());
    for (; m_released < wholeBlocks; ++m_released)
        m_blocks[m_released].reset();
}

void SpectrogramLevels::truncate(std::int64_t frames) {
    if (frames < 0 || frames >= m_frames)
        return;
    const auto blocks = std::size_t((frames + kFramesPerBlock - 1) / kFramesPerBlock);
    m_blocks.resize(std::max(blocks, m_released));
    m_frames = frames;
}

void AdviseLargePages(void* start, std::size_t length) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t kLarge = std::uintptr_t(2) << 20;
    const auto address = reinterpret_cast<std::uintptr_t>(start);
    const std::uintptr_t begin = (address + kLarge - 1) & ~(kLarge - 1);
    const std::uintptr_t end = (address + length) & ~(kLarge - 1);
    if (end > begin)
        ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    (void)start;
    (void)length;
#endif
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
