// The feedback form's rules without a window: the address check, the
// like/dislike phrase, the field list and the judgement of the answer.
#include "feedback/Feedback.h"
#include "support/NamedCases.h"

#include <gtest/gtest.h>

struct EmailCase {
    const char* name;
    QString address;
    bool valid;
};

class IsValidEmailTest : public ::testing::TestWithParam<EmailCase> {};

TEST_P(IsValidEmailTest, JudgesTheWholeAddress) {
    EXPECT_EQ(IsValidEmail(GetParam().address), GetParam().valid)
        << GetParam().address.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IsValidEmailTest,
    ::testing::Values(
        EmailCase{"Plain", QStringLiteral("user@example.com"), true},
        EmailCase{"PlusSignBeforeTheAt", QStringLiteral("first.last+tag@example.co.uk"), true},
        EmailCase{"UnderscoreAndHyphens", QStringLiteral("a_b-c@my-host.example-mail.org"), true},
        EmailCase{"DigitsOnlyDomainTail", QStringLiteral("x@host.123"), true},
        EmailCase{"NoDotAfterTheAt", QStringLiteral("user@localhost"), false},
        EmailCase{"TrailingDot", QStringLiteral("user@example.com."), false},
        EmailCase{"TrailingHyphen", QStringLiteral("user@example.com-"), false},
        EmailCase{"DotRightAfterTheAt", QStringLiteral("user@.example.com"), false},
        EmailCase{"NothingBeforeTheAt", QStringLiteral("@example.com"), false},
        EmailCase{"TwoAts", QStringLiteral("user@@example.com"), false},
        EmailCase{"BlankInside", QStringLiteral("us er@example.com"), false},
        EmailCase{"SurroundingBlanksAreNotTrimmedHere", QStringLiteral(" user@example.com "),
                  false},
        EmailCase{"FinalLineBreak", QStringLiteral("user@example.com\n"), false},
        EmailCase{"NonAsciiLetter", QStringLiteral("j\u00fcrgen@example.de"), false},
        EmailCase{"Empty", QString(), false}),
    CaseName());

TEST(FeedbackRules, PhraseCarriesTheTranslatedCaptionInParentheses) {
    EXPECT_EQ(MarkedPhrase(QStringLiteral("I like it!"), QStringLiteral("I like it!")),
              QStringLiteral("I like it!"));
    EXPECT_EQ(MarkedPhrase(QStringLiteral("I like it!"), QStringLiteral("Gef\u00e4llt mir!")),
              QStringLiteral("I like it! (Gef\u00e4llt mir!)"));
}

TEST(FeedbackRules, FeedbackValuePutsThePhraseOnALineOfItsOwn) {
    EXPECT_EQ(FeedbackValue(QStringLiteral("I dislike it!"), QStringLiteral("Too slow")),
              QStringLiteral("I dislike it!\rToo slow"));
    EXPECT_EQ(FeedbackValue(QString(), QStringLiteral("Too slow")), QStringLiteral("Too slow"));
}

TEST(FeedbackRules, FieldsInTheirOrderWithTheAddressOnlyWhenGiven) {
    const QStringList four = FeedbackFields(QStringLiteral("QUIBLEX - Korvane"),
                                            QStringLiteral("1.0"), QStringLiteral("Nice"), {});
    EXPECT_EQ(four, QStringList({QStringLiteral("cmd=feedback"),
                                 QStringLiteral("appname=QUIBLEX - Korvane"),
                                 QStringLiteral("version=1.0"), QStringLiteral("feedback=Nice")}));
    const QStringList five =
        FeedbackFields(QStringLiteral("QUIBLEX - Korvane"), QStringLiteral("1.0"),
                       QStringLiteral("Nice"), QStringLiteral("me@example.org"));
    ASSERT_EQ(five.size(), 5);
    EXPECT_EQ(five.mid(0, 4), four);
    EXPECT_EQ(five.last(), QStringLiteral("email=me@example.org"));
}

TEST(FeedbackRules, TargetTriesHttpsThenHttpOnTheSameHostAndPath) {
    const FeedbackTarget target = FeedbackTarget::ForHost(QStringLiteral("www.example.org"));
    EXPECT_EQ(target.HttpsUrl, QStringLiteral("https://www.example.org/php/feedback.php"));
    EXPECT_EQ(target.HttpUrl, QStringLiteral("http://www.example.org/php/feedback.php"));
    EXPECT_EQ(target.Options.ConnectTimeoutMs, 3000);
    EXPECT_EQ(target.Options.ResponseTimeoutMs, 3000);
}

struct AnswerCase {
    const char* name;
    QString body;
    bool accepted;
};

class AnswerTest : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(AnswerTest, OnlyOkCounts) {
    EXPECT_EQ(IsFeedbackAccepted(GetParam().body), GetParam().accepted);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AnswerTest,
    ::testing::Values(AnswerCase{"Ok", QStringLiteral("OK"), true},
                      AnswerCase{"OkWithCrLf", QStringLiteral("OK\r\n"), true},
                      AnswerCase{"OkAmidBlankLines", QStringLiteral("\r\n  OK \n\n"), true},
                      AnswerCase{"LowerCase", QStringLiteral("ok"), false},
                      AnswerCase{"FullStop", QStringLiteral("OK."), false},
                      AnswerCase{"TwoLines", QStringLiteral("OK\r\nOK"), false},
                      AnswerCase{"Error", QStringLiteral("ERROR\r\n"), false},
                      AnswerCase{"Empty", QString(), false}),
    CaseName());
