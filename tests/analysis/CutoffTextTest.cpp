// The cutoff as the result list and korvane-cli's table both show it.
#include "analysis/CutoffText.h"

#include <cfenv>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

TEST(CutoffText, NearestIntegerWithHalvesToTheEvenOne) {
    const std::pair<float, const char16_t*> cases[] = {
        {19000.0f, u"19000"}, {19000.5f, u"19000"}, {19001.5f, u"19002"},  {19000.4f, u"19000"},
        {19000.6f, u"19001"}, {0.5f, u"0"},         {1.5f, u"2"},          {2.5f, u"2"},
        {22050.0f, u"22050"}, {0.0f, u"0"},         {16839.49f, u"16839"}, {-0.5f, u"0"},
        {-1.5f, u"-2"},
    };
    for (auto [hz, text] : cases)
        EXPECT_EQ(CutoffText(hz), QStringView(text)) << hz;
}

TEST(CutoffText, WhatIsNotAFiniteNumberShowsAsZeroAndHugeValuesDoNotOverflow) {
    EXPECT_EQ(CutoffText(std::numeric_limits<float>::quiet_NaN()), u"0");
    EXPECT_EQ(CutoffText(std::numeric_limits<float>::infinity()), u"0");
    EXPECT_EQ(CutoffText(-std::numeric_limits<float>::infinity()), u"0");
    EXPECT_EQ(CutoffText(std::numeric_limits<float>::max()), u"9000000000000000000");
    EXPECT_EQ(CutoffText(-std::numeric_limits<float>::max()), u"-9000000000000000000");
}

TEST(CutoffText, IsTheSameWhateverRoundingModeTheThreadIsIn) {
    const int previous = std::fegetround();
    std::fesetround(FE_UPWARD);
    const QString upward = CutoffText(19000.5f);
    const int after = std::fegetround();
    std::fesetround(previous);
    EXPECT_EQ(upward, u"19000");
    EXPECT_EQ(after, FE_UPWARD) << "the caller's rounding mode is given back";
}
