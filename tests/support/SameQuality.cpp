#include "support/SameQuality.h"

#include <gtest/gtest.h>

void ExpectSameQuality(const TAudioQualityResult& a, const TAudioQualityResult& b,
                       const std::string& context) {
    EXPECT_EQ(a.SampleRate, b.SampleRate) << context;
    EXPECT_EQ(a.BitrateKbps, b.BitrateKbps) << context;
    EXPECT_EQ(a.CutoffHz, b.CutoffHz) << context;
    EXPECT_EQ(a.SharpCutoff, b.SharpCutoff) << context;
    EXPECT_EQ(a.Verdict, b.Verdict) << context;
    EXPECT_EQ(a.IsSuspicious, b.IsSuspicious) << context;
    EXPECT_EQ(a.Reason, b.Reason) << context;
}
