// Where each frame's sound ends, and whether it ends with a cut or stops dead.
#include "analysis/FrameEdges.h"

#include <cmath>
#include <functional>
#include <gtest/gtest.h>

namespace {

// One frame whose level in dB per bin `levelAt` gives.
void AddFrame(FrameEdges& edges, const std::function<double(int bin)>& levelAt) {
    float frame[FrameEdges::kBins];
    for (int b = 0; b < FrameEdges::kBins; ++b)
        frame[b] = float(std::pow(10.0, levelAt(b) / 20.0));
    FramePower power;
    PowerOfFrame(frame, power);
    edges.addPower(power);
}

struct Case {
    const char* name;
    std::function<double(int)> level;
    int endBin; // -1: the frame is not counted as ending anywhere
    bool cut;
    bool abrupt;
};

} // namespace

TEST(FrameEdges, WhereAndHowAFrameEnds) {
    const Case cases[] = {
        {"a band that stops at bin 700", [](int b) { return b <= 700 ? -50.0 : -200.0; }, 700, true,
         true},
        {"a slope of 1.5 dB per bin from bin 700",
         [](int b) { return b <= 700 ? -50.0 : std::max(-50.0 - 1.5 * (b - 700), -200.0); }, 729,
         false, false},
        {"a slope of 3 dB per bin: a cut, but not a stop",
         [](int b) { return b <= 700 ? -50.0 : std::max(-50.0 - 3.0 * (b - 700), -200.0); }, 714,
         true, false},
        {"the end is judged against the frame's own floor",
         [](int b) { return b <= 500 ? -50.0 : (b <= 600 ? -80.0 : -115.0); }, 600, true, true},
        {"sound to the top of the band ends nowhere that can be judged", [](int) { return -50.0; },
         -1, false, false},
        {"a silent frame ends nowhere", [](int) { return -200.0; }, -1, false, false},
    };
    for (const Case& c : cases) {
        FrameEdges edges;
        AddFrame(edges, c.level);
        EXPECT_EQ(edges.frames(), 1) << c.name;
        EXPECT_EQ(edges.endingIn(0, FrameEdges::kBins - 1), c.endBin < 0 ? 0u : 1u) << c.name;
        if (c.endBin < 0)
            continue;
        EXPECT_EQ(edges.endingIn(c.endBin, c.endBin), 1u) << c.name;
        EXPECT_EQ(edges.cutIn(c.endBin, c.endBin), c.cut ? 1u : 0u) << c.name;
        EXPECT_EQ(edges.abruptIn(c.endBin, c.endBin), c.abrupt ? 1u : 0u) << c.name;
    }
}

TEST(FrameEdges, CountsAddUpOverFramesAndRanges) {
    FrameEdges edges;
    for (int n = 0; n < 10; ++n)
        AddFrame(edges, [n](int b) { return b <= 600 + 10 * (n % 2) ? -50.0 : -200.0; });
    EXPECT_EQ(edges.frames(), 10);
    EXPECT_EQ(edges.endingIn(600, 600), 5u);
    EXPECT_EQ(edges.endingIn(610, 610), 5u);
    EXPECT_EQ(edges.endingIn(590, 620), 10u);
    EXPECT_EQ(edges.cutIn(-50, 5000), 10u) << "ranges are clamped";
    EXPECT_EQ(edges.abruptIn(601, 609), 0u);
}
