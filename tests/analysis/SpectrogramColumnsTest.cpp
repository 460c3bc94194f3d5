// Folding frames into a bounded number of columns: which frames share a
// column, that a column keeps each cell's loudest level, and that neither a
// stream shorter nor one longer than planned breaks the bound.
#include "analysis/SpectrogramColumns.h"

#include "GeneratedSource.h"
#include "analysis/Spectrogram.h"

#include <QImage>
#include <algorithm>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

namespace {

// Frame f's magnitudes: a different pseudo-random level in every bin.
std::vector<float> FrameMagnitudes(std::int64_t frame) {
    std::vector<float> m(kSpectrogramBins);
    std::uint32_t state = std::uint32_t(frame) * 2654435761u + 12345u;
    for (float& value : m) {
        state = state * 1664525u + 1013904223u;
        value = float(state >> 8) / float(1u << 24); // 0 .. 1: cells 0 .. 255
    }
    return m;
}

// The columns as the folding rule defines them, computed the slow way:
// frames up to the bound one each, beyond it frame i in column i * bound /
// span, the span starting at the plan (at least one past the bound) and
// doubling until it exceeds the last frame.
std::vector<std::vector<std::uint8_t>> ExpectedColumns(std::int64_t planned, std::int64_t delivered,
                                                       std::int64_t bound) {
    std::int64_t span = 0;
    if (delivered > bound) {
        span = std::max(planned, bound + 1);
        while (delivered - 1 >= span)
            span *= 2;
    }
    std::vector<std::vector<std::uint8_t>> columns;
    for (std::int64_t f = 0; f < delivered; ++f) {
        const auto column = std::size_t(
            span == 0
                ? f
                : std::int64_t((unsigned __int128)f * std::uint64_t(bound) / std::uint64_t(span)));
        if (column == columns.size())
            columns.emplace_back(kSpectrogramBins, std::uint8_t(0));
        const std::vector<float> m = FrameMagnitudes(f);
        for (int b = 0; b < kSpectrogramBins; ++b)
            columns[column][std::size_t(b)] =
                std::max(columns[column][std::size_t(b)], SpectrogramCellValue(m[std::size_t(b)]));
    }
    return columns;
}

} // namespace

TEST(SpectrogramColumns, FoldsConsecutiveFramesKeepingEachCellsLoudest) {
    constexpr std::int64_t kHuge = std::numeric_limits<std::int64_t>::max() / 4;
    const struct {
        const char* name;
        std::int64_t planned, delivered, bound;
        std::int64_t columns;
    } cases[] = {
        {"fewer frames than the bound", 5, 5, 8, 5},
        {"exactly the bound", 8, 8, 8, 8},
        {"as planned, folded", 20, 20, 8, 8},
        {"as planned, many per column", 1000, 1000, 8, 8},
        {"as planned, not a multiple", 8 * 50 + 7, 8 * 50 + 7, 8, 8},
        {"ends early", 20, 12, 8, 5},
        {"ends within the bound despite a long plan", 1000, 6, 8, 6},
        {"longer than planned", 10, 40, 8, 8},
        {"plan below the bound, more delivered", 1, 30, 8, 7},
        {"a plan no stream can meet", kHuge, 20, 8, 1},
        {"a bound of one", 100, 100, 1, 1},
    };
    for (const auto& c : cases) {
        SpectrogramColumns columns(c.planned, c.bound);
        std::uint8_t loudest = 0;
        std::uint8_t expectedLoudest = 0;
        for (std::int64_t f = 0; f < c.delivered; ++f) {
            const std::vector<float> m = FrameMagnitudes(f);
            loudest = std::max(loudest, columns.addFrame(m.data()));
            for (float v : m)
                expectedLoudest = std::max(expectedLoudest, SpectrogramCellValue(v));
            ASSERT_LE(columns.columns(), c.bound) << c.name << " at frame " << f;
        }
        columns.finish();
        EXPECT_EQ(loudest, expectedLoudest) << c.name;
        EXPECT_EQ(columns.frames(), c.delivered) << c.name;
        ASSERT_EQ(columns.columns(), c.columns) << c.name;
        ASSERT_EQ(columns.levels().frames(), c.columns) << c.name;
        const auto expected = ExpectedColumns(c.planned, c.delivered, c.bound);
        ASSERT_EQ(std::int64_t(expected.size()), c.columns) << c.name;
        for (std::int64_t col = 0; col < c.columns; ++col) {
            const std::uint8_t* cells = columns.levels().frame(col);
            ASSERT_TRUE(
                std::equal(cells, cells + kSpectrogramBins, expected[std::size_t(col)].begin()))
                << c.name << ", column " << col;
        }
    }
}

TEST(SpectrogramColumns, AStreamAsLongAsPlannedSharesItsFramesEvenly) {
    // 100 frames over 8 columns: every column 12 or 13 frames, in order.
    const std::int64_t bound = 8, frames = 100;
    std::vector<int> perColumn(bound, 0);
    std::int64_t last = 0;
    for (std::int64_t f = 0; f < frames; ++f) {
        const auto column = f * bound / frames;
        ASSERT_GE(column, last);
        last = column;
        ++perColumn[std::size_t(column)];
    }
    for (int count : perColumn)
        EXPECT_TRUE(count == 12 || count == 13) << count;
    // ... and the class agrees with that rule (the table above checks the cells).
    SpectrogramColumns columns(frames, bound);
    for (std::int64_t f = 0; f < frames; ++f)
        columns.addFrame(FrameMagnitudes(f).data());
    EXPECT_EQ(columns.columns(), bound);
}

// Storage never outgrows the bound, whatever the stream delivers; a stream
// longer than planned still uses more than half the columns.
TEST(SpectrogramColumns, StorageStaysWithinTheBound) {
    const std::int64_t bound = SpectrogramLevels::kFramesPerBlock + 100;
    const std::size_t boundBytes = 2 * std::size_t(SpectrogramLevels::kFramesPerBlock) * 1024;
    const std::vector<float> m = FrameMagnitudes(1);
    for (const std::int64_t planned : {bound * 3, std::int64_t(10)}) {
        SpectrogramColumns columns(planned, bound);
        for (std::int64_t f = 0; f < bound * 3; ++f) {
            columns.addFrame(m.data());
            ASSERT_LE(columns.levels().capacityBytes(), boundBytes) << planned << ", frame " << f;
        }
        columns.finish();
        EXPECT_LE(columns.columns(), bound) << planned;
        EXPECT_GT(columns.columns(), bound / 2) << planned;
        EXPECT_LE(columns.levels().capacityBytes(), boundBytes);
    }
}

namespace {

const QString kLong = QStringLiteral("/scripted/long-recording.flac");

bool RowIsBlack(const QImage& image, int y, int fromX, int toX) {
    for (int x = fromX; x < toX; ++x) {
        const uchar* p = image.constScanLine(y) + 3 * x;
        if (p[0] != 0 || p[1] != 0 || p[2] != 0)
            return false;
    }
    return true;
}

} // namespace

// A long recording cut at bin 700 with a single full-band click: folded, the
// wall above the cutoff stays black and the click still shows, in the column
// of its time.
TEST(RenderSpectrogramFile, FoldedPictureKeepsTheWallAndTheClick) {
    const std::int64_t frames = 10'000, click = 6'543, bound = 100;
    GeneratedSource source;
    source.claimedFrames = frames * 2048;
    source.available = frames;
    source.fill = [](std::int64_t frame, float* m) {
        const int top = frame == click ? 1024 : 700;
        for (int b = 0; b < top; ++b)
            m[b] = frame == click ? 0.5f : 0.01f;
    };
    ScopedGeneratedFile route(kLong, source);
    SpectrogramOptions options;
    options.maxColumns = bound;
    const SpectrogramRender render = RenderSpectrogramFile(kLong, {}, options);
    ASSERT_TRUE(render.ok()) << render.errorText().toStdString();
    EXPECT_EQ(render.frames, frames);
    ASSERT_EQ(render.picture.size(), QSize(int(bound), 1024));

    const int clickColumn = int(click * bound / frames);
    const int aboveWall = 1023 - 800;
    EXPECT_TRUE(RowIsBlack(render.picture, aboveWall, 0, clickColumn));
    EXPECT_TRUE(RowIsBlack(render.picture, aboveWall, clickColumn + 1, int(bound)));
    EXPECT_FALSE(RowIsBlack(render.picture, aboveWall, clickColumn, clickColumn + 1));
    EXPECT_FALSE(RowIsBlack(render.picture, 1023 - 300, 0, 1)); // under the wall
    for (int x = 0; x < int(bound); ++x)
        ASSERT_FALSE(RowIsBlack(render.picture, 1023 - 300, x, x + 1)) << x;
}

// The program's own bound, through the real entry: a file just past it is
// exactly that wide; one whose header overstates its length by far is one
// column per frame that comes, as long as they fit.
TEST(RenderSpectrogramFile, TheProgramsBoundHoldsForALongFile) {
    const struct {
        std::int64_t planned, delivered, width;
    } cases[] = {
        {kSpectrogramMaxColumns + 11, kSpectrogramMaxColumns + 11, kSpectrogramMaxColumns},
        {kSpectrogramMaxColumns * 40, 200, 200},
    };
    for (const auto& c : cases) {
        GeneratedSource source;
        source.claimedFrames = c.planned * 2048;
        source.available = c.delivered;
        ScopedGeneratedFile route(kLong, source);
        SpectrogramOptions wider;
        wider.maxColumns = kSpectrogramMaxColumns * 4; // no caller goes past the bound
        const SpectrogramRender render = RenderSpectrogramFile(kLong, {}, wider);
        ASSERT_TRUE(render.ok()) << c.planned;
        EXPECT_EQ(render.frames, c.delivered);
        EXPECT_EQ(render.picture.width(), c.width) << c.planned << "/" << c.delivered;
    }
}
