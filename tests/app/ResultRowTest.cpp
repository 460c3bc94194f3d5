#include "app/ResultRow.h"

#include <gtest/gtest.h>

TEST(ResultRow, OkResultGivesPlainNumbersAndTheAcceptPicture) {
    TAudioQualityResult result;
    result.BitrateKbps = 320;
    result.SampleRate = 44100;
    result.CutoffHz = 19000.0f;
    result.Verdict = qvOk;
    const ResultRowTexts texts = RowTextsFor(result);
    EXPECT_EQ(texts.SubItems[0], u"320");
    EXPECT_EQ(texts.SubItems[1], u"44100");
    EXPECT_EQ(texts.SubItems[2], u"19000");
    EXPECT_EQ(texts.SubItems[3], u"OK");
    EXPECT_EQ(texts.SubItems[4], u"");
    EXPECT_EQ(texts.VerdictImageIndex, 49);
    EXPECT_EQ(RowImageName(texts.VerdictImageIndex), u"accept_button");
}

TEST(ResultRow, EachVerdictHasItsWordAndPicture) {
    const struct {
        TQualityVerdict verdict;
        const char16_t* word;
        int image;
        const char16_t* picture;
    } cases[] = {
        {qvOk, u"OK", 49, u"accept_button"},
        {qvPossible, u"Possible", 50, u"question"},
        {qvLikely, u"Likely", 51, u"result_warning"},
        {qvError, u"Error", 52, u"cross"},
    };
    for (const auto& c : cases) {
        TAudioQualityResult result;
        result.Verdict = c.verdict;
        result.Reason = QStringLiteral("why");
        const ResultRowTexts texts = RowTextsFor(result);
        EXPECT_EQ(texts.SubItems[3], QStringView(c.word));
        EXPECT_EQ(texts.SubItems[4], u"why");
        EXPECT_EQ(texts.VerdictImageIndex, c.image);
        EXPECT_EQ(RowImageName(c.image), QStringView(c.picture));
    }
    EXPECT_EQ(RowImageName(48), u"file-sound");
    EXPECT_EQ(RowImageName(47), u"");
}

TEST(ResultRow, NegativeBitrateKeepsItsSign) {
    TAudioQualityResult result;
    result.BitrateKbps = -1;
    EXPECT_EQ(RowTextsFor(result).SubItems[0], u"-1");
}

TEST(ResultRow, TheCutoffColumnIsTheSharedCutoffText) {
    TAudioQualityResult result;
    result.CutoffHz = 19001.5f;
    EXPECT_EQ(RowTextsFor(result).SubItems[2], u"19002");
    result.CutoffHz = 16000.5f;
    EXPECT_EQ(RowTextsFor(result).SubItems[2], u"16000");
}

TEST(ResultRow, RaisedAnalysisShowsDashesAndNoPicture) {
    const ResultRowTexts texts = RaisedRowTexts();
    for (const QString& text : texts.SubItems)
        EXPECT_EQ(text, u"-");
    EXPECT_EQ(texts.VerdictImageIndex, -1);
}

TEST(ResultRow, NothingToDrawForZeroAndDashBitrates) {
    EXPECT_TRUE(IsNothingToDrawBitrate(QStringLiteral("0")));
    EXPECT_TRUE(IsNothingToDrawBitrate(QStringLiteral("-")));
    EXPECT_FALSE(IsNothingToDrawBitrate(QStringLiteral("320")));
    EXPECT_FALSE(IsNothingToDrawBitrate(QStringLiteral("-1")));
    EXPECT_FALSE(IsNothingToDrawBitrate(QStringLiteral("00")));
}
