// The level matrix behind the spectrogram picture and the rules that fill it.
#pragma once

#include "analysis/BASS.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

inline constexpr int kSpectrogramBins = 1024;

// The level of one cell: 20 log10(magnitude + 1e-9) dB mapped to 0 at -120 dB
// and 255 at 0 dB (2.125 steps per dB), nearest integer with ties to even,
// clamped. A magnitude that is not a number counts as silence.
std::uint8_t SpectrogramCellValue(float magnitude);

// SpectrogramCellValue at the cost of one table look-up and one comparison:
// an hour of audio is 80 million cells, and the logarithms would cost more
// than decoding. Buckets of the float's sign, exponent and five leading
// mantissa bits span less than one level step, so each holds at most one
// step; the answers are those of SpectrogramCellValue, bit for bit.
class SpectrogramLevelMapper {
public:
    // Built once per process (a few milliseconds).
    static const SpectrogramLevelMapper& instance();

    std::uint8_t operator()(float magnitude) const { return map(m_buckets.data(), magnitude); }

    // Maps `count` magnitudes into `cells`; returns the largest cell value.
    std::uint8_t mapFrame(const float* magnitudes, std::uint8_t* cells, int count) const;

private:
    SpectrogramLevelMapper();

    static constexpr int kDroppedBits = 18; // of the 23 mantissa bits
    struct Bucket {
        float split; // smallest magnitude in the bucket that reaches `above`
        std::uint8_t below;
        std::uint8_t above;
    };
    // Branch-free: which side of the split a magnitude falls on is as good
    // as random from one bin to the next.
    static std::uint8_t map(const Bucket* buckets, float magnitude) {
        const Bucket& bucket = buckets[std::bit_cast<std::uint32_t>(magnitude) >> kDroppedBits];
        const auto reached = std::uint8_t(-int(magnitude >= bucket.split));
        return std::uint8_t(bucket.below ^ ((bucket.below ^ bucket.above) & reached));
    }
    std::vector<Bucket> m_buckets;
};

// Cells of the frames read so far, frame-major (frame f, bin b at f * 1024 + b
// in reading order). Storage grows one block at a time as frames arrive, so a
// header that claims hours costs nothing until hours of audio are delivered.
class SpectrogramLevels {
public:
    static constexpr std::int64_t kFramesPerBlock = 2048; // 2 MiB: one large page

    // The 1024 cells of a new last frame, for the caller to fill.
    std::uint8_t* appendFrame();
    // Gives back the blocks holding only frames before `frame`; those frames
    // must not be read again.
    void releaseBlocksBefore(std::int64_t frame);
    const std::uint8_t* frame(std::int64_t index) const {
        return m_blocks[std::size_t(index / kFramesPerBlock)].get() +
               (index % kFramesPerBlock) * kSpectrogramBins;
    }
    std::uint8_t* row(std::int64_t index) {
        return m_blocks[std::size_t(index / kFramesPerBlock)].get() +
               (index % kFramesPerBlock) * kSpectrogramBins;
    }
    // Keeps the first `frames` frames and gives back the blocks past them.
    void truncate(std::int64_t frames);
    std::int64_t frames() const { return m_frames; }
    // Bytes held for cells, whether written yet or not.
    std::size_t capacityBytes() const {
        return (m_blocks.size() - m_released) * std::size_t(kFramesPerBlock) * kSpectrogramBins;
    }

private:
    struct FreeBlock {
        void operator()(std::uint8_t* block) const;
    };
    std::vector<std::unique_ptr<std::uint8_t[], FreeBlock>> m_blocks;
    std::int64_t m_frames = 0;
    std::size_t m_released = 0; // leading blocks given back
};

// Asks the system to back the whole 2 MiB pages inside [start, start +
// length) with large pages, where it offers them: the first touch of each
// 4 KiB page costs more than filling it (several times more on virtual
// machines), and the level blocks are filled front to back.
void AdviseLargePages(void* start, std::size_t length);

// Whole 2048-sample frames in the stream's stated length (cut toward zero);
// 0 when the length is not known.
std::int64_t PlannedSpectrogramFrames(HSTREAM stream);

// The palette entry of a cell between the display floor and floor + range.
inline int SpectrogramPaletteIndex(int cell, int floor, int range) {
    return cell > floor ? (cell - floor) * 255 / range : 0;
}
