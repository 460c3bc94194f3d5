// The spectrogram picture: palette, level mapping, orientation, the display
// floor and range, how much of a stream is read, and the failures that must
// leave the caller's picture alone.
#include "analysis/Spectrogram.h"

#include "GeneratedSource.h"
#include "ScriptedSource.h"
#include "UndrawableFiles.h"
#include "analysis/BASS.h"
#include "analysis/SpectrogramLevels.h"
#include "support/TestMedia.h"

#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>

using namespace testmedia;

namespace {

// A magnitude whose cell value is exactly `cell` (0 for silence).
float MagnitudeOfCell(int cell) {
    if (cell == 0)
        return 0.0f;
    const float magnitude = float(std::pow(10.0, (cell / 2.125 - 120.0) / 20.0));
    EXPECT_EQ(SpectrogramCellValue(magnitude), cell);
    return magnitude;
}

struct Bgr {
    int blue, green, red;
    bool operator==(const Bgr&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Bgr& p) {
    return out << "(b" << p.blue << " g" << p.green << " r" << p.red << ")";
}

Bgr PixelAt(const QImage& image, int x, int y) {
    const uchar* p = image.constScanLine(y) + 3 * x;
    return {p[0], p[1], p[2]};
}

Bgr PaletteEntry(int index) {
    SpectrogramPalette palette;
    BuildSpectrogramPalette(palette);
    const std::size_t i = std::size_t(index) * 3;
    return {palette[i], palette[i + 1], palette[i + 2]};
}

int BrightestRow(const QImage& image, int x) {
    int best = -1;
    int bestSum = -1;
    for (int y = 0; y < image.height(); ++y) {
        const Bgr p = PixelAt(image, x, y);
        if (p.blue + p.green + p.red > bestSum) {
            bestSum = p.blue + p.green + p.red;
            best = y;
        }
    }
    return best;
}

bool ColumnIsBlack(const QImage& image, int x) {
    for (int y = 0; y < image.height(); ++y) {
        if (PixelAt(image, x, y) != Bgr{0, 0, 0})
            return false;
    }
    return true;
}

const QString kScripted = QStringLiteral("/scripted/spectrogram.flac");

} // namespace

TEST(SpectrogramPalette, SampleEntries) {
    const struct {
        int index, red, green, blue;
    } cases[] = {
        {0, 0, 0, 0},       {30, 15, 0, 55},     {60, 30, 0, 110},
        {90, 100, 10, 115}, {120, 170, 20, 120}, {150, 205, 55, 70},
        {180, 240, 90, 20}, {230, 255, 220, 60}, {255, 255, 255, 255},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PaletteEntry(c.index), (Bgr{c.blue, c.green, c.red})) << "index " << c.index;
}

TEST(SpectrogramPalette, EveryChannelMovesMonotonicallyBetweenStops) {
    const int stops[] = {0, 60, 120, 180, 230, 255};
    for (int s = 0; s + 1 < 6; ++s) {
        const Bgr from = PaletteEntry(stops[s]);
        const Bgr to = PaletteEntry(stops[s + 1]);
        for (int i = stops[s]; i <= stops[s + 1]; ++i) {
            const Bgr p = PaletteEntry(i);
            EXPECT_LE(std::abs(p.red - from.red), std::abs(to.red - from.red)) << i;
            EXPECT_LE(std::abs(p.green - from.green), std::abs(to.green - from.green)) << i;
            EXPECT_LE(std::abs(p.blue - from.blue), std::abs(to.blue - from.blue)) << i;
        }
    }
}

TEST(SpectrogramCell, LevelsMapFromMinus120To0Decibels) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const struct {
        float magnitude;
        int cell;
    } cases[] = {
        {0.0f, 0},    {1e-6f, 0},   {3e-6f, 20}, {1e-5f, 43}, {0.001f, 128},
        {0.01f, 170}, {0.25f, 229}, {0.5f, 242}, {1.0f, 255}, {2.0f, 255},
        {inf, 255},   {nan, 0},     {-1.0f, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SpectrogramCellValue(c.magnitude), c.cell) << c.magnitude;
        EXPECT_EQ(SpectrogramLevelMapper::instance()(c.magnitude), c.cell) << c.magnitude;
    }
}

// The table-driven mapper must give the logarithm's answer for every float;
// checked at each level boundary (to the ulp) and over a dense sweep.
TEST(SpectrogramCell, FastMapperAgreesWithTheLogarithm) {
    const SpectrogramLevelMapper& mapper = SpectrogramLevelMapper::instance();
    const auto bitsOf = [](float f) { return std::bit_cast<std::uint32_t>(f); };
    const auto floatOf = [](std::uint32_t b) { return std::bit_cast<float>(b); };
    for (int cell = 1; cell <= 255; ++cell) {
        std::uint32_t low = 0;
        std::uint32_t high = bitsOf(std::numeric_limits<float>::infinity());
        while (high - low > 1) {
            const std::uint32_t middle = low + (high - low) / 2;
            (SpectrogramCellValue(floatOf(middle)) >= cell ? high : low) = middle;
        }
        for (std::uint32_t bits = high - 2; bits <= high + 2; ++bits)
            ASSERT_EQ(mapper(floatOf(bits)), SpectrogramCellValue(floatOf(bits)))
                << "cell " << cell;
    }
    for (std::uint32_t bits = bitsOf(1e-7f); bits <= bitsOf(8.0f); bits += 211) {
        const float m = floatOf(bits);
        ASSERT_EQ(mapper(m), SpectrogramCellValue(m)) << m;
    }
    const std::uint32_t specials[] = {0x00000001u, 0x007fffffu, 0x7f7fffffu, 0x7f800000u,
                                      0x7f800001u, 0x7fc00000u, 0x7fffffffu, 0x80000000u,
                                      0xbf800000u, 0xff800000u, 0xffc00000u};
    for (std::uint32_t bits : specials)
        EXPECT_EQ(mapper(floatOf(bits)), SpectrogramCellValue(floatOf(bits))) << std::hex << bits;
}

TEST(SpectrogramLevels, GrowsOneBlockAtATimeAndKeepsFramesApart) {
    SpectrogramLevels levels;
    EXPECT_EQ(levels.capacityBytes(), 0u);
    const std::int64_t count = SpectrogramLevels::kFramesPerBlock + 3;
    for (std::int64_t f = 0; f < count; ++f) {
        std::uint8_t* cells = levels.appendFrame();
        for (int b = 0; b < kSpectrogramBins; ++b)
            cells[b] = std::uint8_t((f * 7 + b) % 251);
        const std::size_t blocks = std::size_t(f / SpectrogramLevels::kFramesPerBlock + 1);
        ASSERT_EQ(levels.capacityBytes(), blocks * SpectrogramLevels::kFramesPerBlock * 1024);
    }
    EXPECT_EQ(levels.frames(), count);
    for (std::int64_t f = 0; f < count; ++f) {
        for (int b = 0; b < kSpectrogramBins; b += 97)
            ASSERT_EQ(levels.frame(f)[b], (f * 7 + b) % 251) << f << "/" << b;
    }

    // Painted blocks go back; a block with frames still to paint stays.
    levels.releaseBlocksBefore(SpectrogramLevels::kFramesPerBlock - 1);
    EXPECT_EQ(levels.capacityBytes(), 2u * SpectrogramLevels::kFramesPerBlock * 1024);
    levels.releaseBlocksBefore(SpectrogramLevels::kFramesPerBlock);
    EXPECT_EQ(levels.capacityBytes(), 1u * SpectrogramLevels::kFramesPerBlock * 1024);
    EXPECT_EQ(levels.frame(count - 1)[0], ((count - 1) * 7) % 251);
    levels.releaseBlocksBefore(count + 5000);
    EXPECT_EQ(levels.capacityBytes(), 0u);
}

TEST(RenderSpectrogram, FailuresLeaveThePictureExactlyAsItWas) {
    TryUndrawableFiles([](const UndrawableFile& c) {
        QImage picture(7, 5, QImage::Format_RGB32);
        picture.fill(QColor(10, 200, 30));
        const QImage before = picture;
        const qint64 key = picture.cacheKey();
        RenderSpectrogram(c.Path, picture);
        EXPECT_EQ(picture.cacheKey(), key) << c.Name;
        EXPECT_EQ(picture, before) << c.Name;
        EXPECT_EQ(picture.format(), QImage::Format_RGB32) << c.Name;
    });
}

TEST(RenderSpectrogram, SilentFileIsAllBlack) {
    QTemporaryDir dir;
    const QString path = WriteWav(dir.filePath(QStringLiteral("silence.wav")),
                                  std::vector<float>(44100, 0.0f), 44100);
    QImage picture;
    RenderSpectrogram(path, picture);
    ASSERT_EQ(picture.size(), QSize(21, 1024)); // 44100 / 2048 whole frames
    EXPECT_EQ(picture.format(), QImage::Format_BGR888);
    for (int x = 0; x < picture.width(); ++x)
        ASSERT_TRUE(ColumnIsBlack(picture, x)) << "column " << x;
}

// Column 0 carries the cells under test in bins 0.. (bin 0 is the bottom row).
TEST(RenderSpectrogram, FloorAndRangeFollowTheLoudestCell) {
    const struct {
        int loudest;
        std::vector<std::pair<int, int>> cellToEntry;
    } cases[] = {
        {255, {{255, 255}, {254, 253}, {149, 127}, {44, 1}, {43, 0}, {20, 0}, {0, 0}}},
        {100, {{100, 255}, {99, 252}, {50, 127}, {1, 2}, {0, 0}}},
        {213, {{213, 255}, {2, 1}, {1, 0}}},
        {0, {{0, 0}}},
    };
    for (const auto& c : cases) {
        std::vector<float> frame(1024, 0.0f);
        frame[0] = MagnitudeOfCell(c.loudest);
        for (std::size_t i = 0; i < c.cellToEntry.size(); ++i)
            frame[i + 1] = MagnitudeOfCell(c.cellToEntry[i].first);
        ScriptedSource script;
        script.frames = 2048;
        script.spectra = {frame};
        ScopedScriptedFile route(kScripted, script);

        QImage picture;
        RenderSpectrogram(kScripted, picture);
        ASSERT_EQ(picture.size(), QSize(1, 1024)) << "loudest " << c.loudest;
        EXPECT_EQ(PixelAt(picture, 0, 1023), PaletteEntry(c.loudest > 0 ? 255 : 0));
        for (std::size_t i = 0; i < c.cellToEntry.size(); ++i) {
            const auto [cell, entry] = c.cellToEntry[i];
            EXPECT_EQ(PixelAt(picture, 0, 1023 - int(i + 1)), PaletteEntry(entry))
                << "loudest " << c.loudest << ", cell " << cell;
        }
    }
}

TEST(RenderSpectrogram, FirstFrameIsLeftmostAndBinZeroIsTheBottomRow) {
    GeneratedSource source;
    source.claimedFrames = 20 * 2048;
    source.available = 20;
    source.fill = [](std::int64_t frame, float* m) {
        if (frame >= 10) {
            m[0] = 1.0f;
            m[5] = 0.1f;
        }
    };
    ScopedGeneratedFile route(kScripted, source);
    QImage picture;
    RenderSpectrogram(kScripted, picture);
    ASSERT_EQ(picture.size(), QSize(20, 1024));
    for (int x = 0; x < 10; ++x)
        EXPECT_TRUE(ColumnIsBlack(picture, x)) << "column " << x;
    for (int x = 10; x < 20; ++x) {
        EXPECT_EQ(PixelAt(picture, x, 1023), PaletteEntry(255)) << "column " << x;
        EXPECT_NE(PixelAt(picture, x, 1018), (Bgr{0, 0, 0})) << "column " << x;
        EXPECT_EQ(PixelAt(picture, x, 0), (Bgr{0, 0, 0})) << "column " << x;
    }
}

// The same through the real decoder: a tone that starts half-way.
TEST(RenderSpectrogram, ToneStartingHalfWayShowsOnlyInTheRightHalfAtItsRow) {
    QTemporaryDir dir;
    std::vector<float> samples(20 * 2048, 0.0f);
    const std::vector<float> tone = SineAtBin(100, 44100, 10 * 2048, 0.5f);
    std::copy(tone.begin(), tone.end(), samples.begin() + 10 * 2048);
    const QString path =
        WriteWav(dir.filePath(QStringLiteral("late-tone.wav")), samples, 44100, 1, true);
    QImage picture;
    RenderSpectrogram(path, picture);
    ASSERT_EQ(picture.size(), QSize(20, 1024));
    for (int x = 0; x < 10; ++x)
        EXPECT_TRUE(ColumnIsBlack(picture, x)) << "column " << x;
    for (int x = 10; x < 20; ++x) {
        EXPECT_EQ(BrightestRow(picture, x), 1023 - 100) << "column " << x;
        EXPECT_EQ(PixelAt(picture, x, 1023 - 100), PaletteEntry(255)) << "column " << x;
    }
}

TEST(RenderSpectrogram, ReadsNoMoreThanThePlannedFramesAndNoFewerThanDelivered) {
    const struct {
        std::int64_t plannedFrames;
        std::int64_t available;
        int width;
    } cases[] = {
        {100, 40, 40}, // the decoder ends early
        {30, 50, 30},  // it could deliver more
        {30, 30, 30},
        {1, 1000, 1},
    };
    for (const auto& c : cases) {
        std::int64_t reads = 0;
        GeneratedSource source;
        source.claimedFrames = c.plannedFrames * 2048;
        source.available = c.available;
        source.reads = &reads;
        source.fill = [](std::int64_t frame, float* m) { m[frame % 1024] = 0.5f; };
        ScopedGeneratedFile route(kScripted, source);
        QImage picture;
        RenderSpectrogram(kScripted, picture);
        EXPECT_EQ(picture.width(), c.width) << c.plannedFrames << "/" << c.available;
        EXPECT_EQ(reads, c.width) << c.plannedFrames << "/" << c.available;
    }
}

// Opens the decoding layer again when a test that released it ends, however
// it ends, as the test main's DecoderSetup had it.
struct LayerReopenedAtEnd {
    ~LayerReopenedAtEnd() { BASS_Init(0, 44100, 0, nullptr, nullptr); }
};

// The layer is main()'s DecoderSetup's to open; the renderer never opens it.
TEST(RenderSpectrogram, WithTheDecodingLayerClosedSaysSoAndOpensNothing) {
    ScriptedSource script;
    script.frames = 3 * 2048;
    script.spectra.assign(3, std::vector<float>(1024, 0.5f));
    ScopedScriptedFile route(kScripted, script);
    QTemporaryDir dir;
    const QByteArray wav = ReadAll(WriteWav(dir.filePath(QStringLiteral("four.wav")),
                                            SineAtBin(50, 44100, 4 * 2048, 0.5f), 44100));
    ASSERT_FALSE(wav.isEmpty());
    const LayerReopenedAtEnd reopen;
    ASSERT_TRUE(BASS_Free());

    QImage picture(5, 7, QImage::Format_RGB32);
    picture.fill(Qt::white);
    const QImage before = picture;
    RenderSpectrogram(kScripted, picture);
    RenderSpectrogramFromMemory(wav.constData(), std::size_t(wav.size()), picture);
    EXPECT_EQ(picture, before);
    for (const SpectrogramRender& render :
         {RenderSpectrogramFile(kScripted),
          RenderSpectrogramMemory(wav.constData(), std::size_t(wav.size()))}) {
        EXPECT_EQ(render.error, SpectrogramError::DecoderUnavailable);
        EXPECT_EQ(render.errorText(), QStringLiteral("the decoder could not be started"));
        EXPECT_TRUE(render.picture.isNull());
    }
    // Still closed: this is its first opening, not a second.
    EXPECT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr));

    // Open again, as a DecoderSetup opens it, both draw.
    RenderSpectrogram(kScripted, picture);
    EXPECT_EQ(picture.size(), QSize(3, 1024));
    RenderSpectrogramFromMemory(wav.constData(), std::size_t(wav.size()), picture);
    EXPECT_EQ(picture.size(), QSize(4, 1024));
}

TEST(RenderSpectrogram, ReplacesAnEarlierPictureCompletely) {
    ScriptedSource script;
    script.frames = 4 * 2048;
    script.spectra.assign(4, std::vector<float>(1024, 0.0f));
    ScopedScriptedFile route(kScripted, script);
    QImage picture(300, 20, QImage::Format_RGB32);
    picture.fill(Qt::white);
    RenderSpectrogram(kScripted, picture);
    ASSERT_EQ(picture.size(), QSize(4, 1024));
    EXPECT_EQ(picture.format(), QImage::Format_BGR888);
    for (int x = 0; x < 4; ++x)
        EXPECT_TRUE(ColumnIsBlack(picture, x));
}
