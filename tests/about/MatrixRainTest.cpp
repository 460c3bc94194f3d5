// The arithmetic of the about box's falling characters.
#include "about/MatrixRain.h"

#include "support/NamedCases.h"

#include <gtest/gtest.h>
#include <ostream>

namespace {

// Answers every random draw with the largest value allowed.
int HighestRandom(int bound) {
    return bound - 1;
}

} // namespace

struct TailCase {
    int head;
    int height;
    int tail;
};

void PrintTo(const TailCase& c, std::ostream* out) {
    *out << "head " << c.head << " in " << c.height << " rows";
}

class TailRowTest : public ::testing::TestWithParam<TailCase> {};

TEST_P(TailRowTest, FortyRowsAboveWrappedAroundTheGrid) {
    EXPECT_EQ(TailRow(GetParam().head, GetParam().height), GetParam().tail);
}

INSTANTIATE_TEST_SUITE_P(Cases, TailRowTest,
                         ::testing::Values(TailCase{10, 33, 4},  // 10 - 40 + 34
                                           TailCase{3, 33, 31},  // 3 - 40 + 34 + 34
                                           TailCase{40, 33, 0},  // no wrap needed
                                           TailCase{45, 33, 5},  // a head below the tail
                                           TailCase{34, 33, 28}, // the bottom-most head row
                                           TailCase{0, 2, 2},    // a tiny grid wraps many times
                                           TailCase{5, 60, 26}),
                         [](const auto& info) {
                             return "Head" + std::to_string(info.param.head) + "Of" +
                                    std::to_string(info.param.height);
                         });

TEST(MatrixRain, SpeedSaysOnWhichTicksTheHeadMoves) {
    const std::vector<int> ticks{0, 1, 2, 3, 4, 5, 6, 7};
    std::vector<int> moved3;
    std::vector<int> moved2;
    for (const int tick : ticks) {
        if (DropMovesOnTick(tick, 3))
            moved3.push_back(tick);
        if (DropMovesOnTick(tick, 2))
            moved2.push_back(tick);
        EXPECT_TRUE(DropMovesOnTick(tick, 1));
    }
    EXPECT_EQ(moved3, std::vector<int>({0, 3, 6}));
    EXPECT_EQ(moved2, std::vector<int>({0, 2, 4, 6}));

    const MatrixRain rain;
    TMatrixDrop drop{.X = 0, .Y = 5, .Speed = 3, .Brightness = 50};
    for (const int tick : ticks) {
        rain.advanceDrop(drop, tick, 33);
    }
    EXPECT_EQ(drop.Y, 8) << "three moves in eight ticks";
}

TEST(MatrixRain, AHeadPastTheBottomStartsAgainAtTheTop) {
    const MatrixRain rain(HighestRandom);
    TMatrixDrop drop{.X = 4, .Y = 33, .Speed = 1, .Brightness = 10};
    rain.advanceDrop(drop, 0, 33);
    EXPECT_EQ(drop.Y, 34) << "row matrixHeight + 1 is still reached";
    EXPECT_EQ(drop.Speed, 1);
    rain.advanceDrop(drop, 1, 33);
    EXPECT_EQ(drop.Y, 0);
    EXPECT_EQ(drop.X, 4);
    EXPECT_EQ(drop.Speed, 3);
    EXPECT_EQ(drop.Brightness, 99);
}

struct ColourCase {
    int brightness;
    QColor head;
    QColor trail;
};

void PrintTo(const ColourCase& c, std::ostream* out) {
    *out << "brightness " << c.brightness;
}

class DropColourTest : public ::testing::TestWithParam<ColourCase> {};

TEST_P(DropColourTest, GreenTintedHeadAndAThirdAsBrightTrail) {
    const DropColours colours = DropColoursFor(GetParam().brightness);
    EXPECT_EQ(colours.Head, GetParam().head);
    EXPECT_EQ(colours.Trail, GetParam().trail);
}

INSTANTIATE_TEST_SUITE_P(Cases, DropColourTest,
                         ::testing::Values(ColourCase{99, QColor(148, 252, 98), QColor(49, 84, 32)},
                                           ColourCase{50, QColor(74, 127, 49), QColor(24, 42, 16)},
                                           ColourCase{1, QColor(1, 2, 0), QColor(0, 0, 0)},
                                           ColourCase{0, QColor(0, 0, 0), QColor(0, 0, 0)}),
                         [](const auto& info) {
                             return "Brightness" + std::to_string(info.param.brightness);
                         });

struct SlideCase {
    const char* name;
    double screen;
    double window;
    int interval;
};

class SlideIntervalTest : public ::testing::TestWithParam<SlideCase> {};

TEST_P(SlideIntervalTest, FiveMillisecondsScaledByTheDpiRatio) {
    EXPECT_EQ(SlideIntervalMs(GetParam().screen, GetParam().window), GetParam().interval);
}

INSTANTIATE_TEST_SUITE_P(Cases, SlideIntervalTest,
                         ::testing::Values(SlideCase{"SameDpi", 96, 96, 5},
                                           SlideCase{"WindowAtTwiceTheDpi", 96, 192, 2},
                                           SlideCase{"HalfToEvenUpwards", 96, 320, 2},
                                           SlideCase{"ThirdMore", 96, 144, 3},
                                           SlideCase{"WindowAtHalfTheDpi", 192, 96, 10},
                                           SlideCase{"ExactlyOne", 96, 480, 1},
                                           SlideCase{"NeverBelowOne", 96, 960, 1},
                                           SlideCase{"UnknownDpi", 96, 0, 5}),
                         CaseName());

TEST(MatrixRain, TwoDropsPerColumnWithinTheirRanges) {
    MatrixRain rain;
    rain.InitDrops(55, 33);
    ASSERT_EQ(rain.DropCount, 110);
    for (int i = 0; i < rain.DropCount; ++i) {
        const TMatrixDrop& drop = rain.MatrixDrops[static_cast<size_t>(i)];
        EXPECT_EQ(drop.X, i % 55);
        EXPECT_TRUE(drop.Y >= 0 && drop.Y < 33) << drop.Y;
        EXPECT_TRUE(drop.Speed >= 1 && drop.Speed <= 3) << drop.Speed;
        EXPECT_TRUE(drop.Brightness >= 0 && drop.Brightness <= 99) << drop.Brightness;
    }
    rain.InitDrops(0, 33);
    EXPECT_EQ(rain.DropCount, 0);
}

TEST(MatrixRain, NeverMoreThanFiveThousandDrops) {
    MatrixRain rain(HighestRandom);
    rain.InitDrops(3000, 10); // a window 24000 pixels wide
    EXPECT_EQ(rain.DropCount, kMaxMatrixDrops);
    const TMatrixDrop last = rain.MatrixDrops[kMaxMatrixDrops - 1];
    EXPECT_EQ(last.X, 4999 % 3000);
    rain.AddDrop(3000, 10);
    EXPECT_EQ(rain.DropCount, kMaxMatrixDrops);
    EXPECT_EQ(rain.MatrixDrops[kMaxMatrixDrops - 1].X, last.X);
}

TEST(MatrixRain, CharactersComeFromTheAlphabetOnly) {
    MatrixRain rain;
    rain.MatrixAlphabet = QStringLiteral("qbx");
    QString seen;
    for (int i = 0; i < 300; ++i) {
        const QChar c = rain.randomChar();
        ASSERT_TRUE(rain.MatrixAlphabet.contains(c)) << int(c.unicode());
        if (!seen.contains(c))
            seen += c;
    }
    EXPECT_EQ(seen.size(), 3) << "each character turns up";
}
