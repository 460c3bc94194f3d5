// What korvane-cli's table and progress make of the characters in a name.
#include "cli/TerminalText.h"

#include "support/NamedCases.h"

#include <gtest/gtest.h>
#include <ostream>

struct TerminalCase {
    const char* name;
    QString text;
    QString shown;
};

class TerminalTextTest : public ::testing::TestWithParam<TerminalCase> {};

TEST_P(TerminalTextTest, ShowsWhatATerminalWouldObey) {
    EXPECT_EQ(TerminalText(GetParam().text), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TerminalTextTest,
    ::testing::Values(
        TerminalCase{"PlainName", QStringLiteral("Musik/01 Intro.flac"),
                     QStringLiteral("Musik/01 Intro.flac")},
        TerminalCase{"LettersOfAnyScript",
                     QStringLiteral("\u0417\u0432\u0443\u043a \u6771\u4eac \U0001F3A7 \u00e9.mp3"),
                     QStringLiteral("\u0417\u0432\u0443\u043a \u6771\u4eac \U0001F3A7 \u00e9.mp3")},
        TerminalCase{"ClearScreenAndColour", QStringLiteral("a\x1b[2J\x1b[31mb"),
                     QStringLiteral("a\\x1b[2J\\x1b[31mb")},
        TerminalCase{"WindowTitle", QStringLiteral("\x1b]0;owned\x07"),
                     QStringLiteral("\\x1b]0;owned\\x07")},
        TerminalCase{"LineBreaksAndTab", QStringLiteral("a\r\nb\tc"),
                     QStringLiteral("a\\x0d\\x0ab\\x09c")},
        TerminalCase{"NulAndDelete", QString(QChar(0)) + QStringLiteral("\x7f"),
                     QStringLiteral("\\x00\\x7f")},
        TerminalCase{"C1ControlSequenceIntroducer", QStringLiteral("a\u009b2Jb\u0085"),
                     QStringLiteral("a\\u009b2Jb\\u0085")},
        TerminalCase{"RightToLeftOverride", QStringLiteral("invoice\u202Egpj.exe"),
                     QStringLiteral("invoice\\u202egpj.exe")},
        TerminalCase{"IsolatesAndMarks",
                     QStringLiteral("\u2066\u2067\u2068\u2069\u200e\u200f\u061c"),
                     QStringLiteral("\\u2066\\u2067\\u2068\\u2069\\u200e\\u200f\\u061c")},
        TerminalCase{"LineSeparators", QStringLiteral("a\u2028b\u2029"),
                     QStringLiteral("a\\u2028b\\u2029")},
        TerminalCase{"BackslashStaysUnambiguous", QStringLiteral("a\\x1b"),
                     QStringLiteral("a\\\\x1b")}),
    CaseName());
