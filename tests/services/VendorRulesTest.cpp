// The reference vendor server's rules without a network: which forms it
// stores, how large a body it takes, and what it writes to its log.
#include "FormRules.h"
#include "LogText.h"
#include "feedback/Feedback.h"
#include "services/FormPost.h"
#include "support/NamedCases.h"

#include <gtest/gtest.h>
#include <ostream>

namespace {

FormFields Fields(std::initializer_list<std::pair<const char*, std::string>> pairs) {
    FormFields fields;
    for (const auto& [name, value] : pairs) {
        fields.emplace_back(name, value);
    }
    return fields;
}

const FormFields kProgramCheck = Fields({{"cmd", "check"},
                                         {"appname", "QUIBLEX - Korvane"},
                                         {"version", "1.0"},
                                         {"os", "Debian GNU/Linux 12 (bookworm) (Version 6.1, "
                                                "Build 0, 64-bit Edition)"},
                                         {"local", "de-DE"},
                                         {"guid", "3f2a9c1e-5b7d-5e40-8a11-0c9d2e4f6a7b"},
                                         {"howmany", "12"}});

FormFields With(FormFields fields, const char* name, std::string value) {
    for (auto& field : fields) {
        if (field.first == name) {
            field.second = value;
        }
    }
    return fields;
}

FormFields Appended(FormFields fields, const char* name, std::string value) {
    fields.emplace_back(name, std::move(value));
    return fields;
}

FormFields Without(FormFields fields, const char* name) {
    std::erase_if(fields, [name](const auto& field) { return field.first == name; });
    return fields;
}

} // namespace

struct RuleCase {
    const char* name;
    bool feedback;
    FormFields fields;
    std::string refusal; // empty: stored
};

class VendorFormRuleTest : public ::testing::TestWithParam<RuleCase> {};

TEST_P(VendorFormRuleTest, StoresOnlyKnownFieldsOfKnownCommandsWithinTheirCaps) {
    const RuleCase& c = GetParam();
    EXPECT_EQ(RefusalReason(c.feedback ? FeedbackCommand() : CheckCommand(), c.fields), c.refusal);
}

const FormFields kProgramFeedback = Fields({{"cmd", "feedback"},
                                            {"appname", "QUIBLEX - Korvane"},
                                            {"version", "1.0"},
                                            {"feedback", "I like it!\rKeep it up"},
                                            {"email", "me@example.org"}});

INSTANTIATE_TEST_SUITE_P(
    Cases, VendorFormRuleTest,
    ::testing::Values(
        RuleCase{"ProgramCheck", false, kProgramCheck, ""},
        RuleCase{"CheckWithoutOptionalFields", false,
                 Without(Without(kProgramCheck, "local"), "howmany"), ""},
        RuleCase{"ProgramFeedback", true, kProgramFeedback, ""},
        RuleCase{"FeedbackWithoutAddress", true, Without(kProgramFeedback, "email"), ""},
        RuleCase{"UnknownField", false, Appended(kProgramCheck, "exploit", "1"), "unknown field"},
        RuleCase{"FeedbackFieldInACheck", false, Appended(kProgramCheck, "feedback", "x"),
                 "unknown field"},
        RuleCase{"RepeatedField", false, Appended(kProgramCheck, "guid", "b"),
                 "repeated field guid"},
        RuleCase{"WrongCommand", false, With(kProgramCheck, "cmd", "delete"), "unknown command"},
        RuleCase{"OtherEndpointsCommand", true, With(kProgramFeedback, "cmd", "check"),
                 "unknown command"},
        RuleCase{"NoCommand", false, Without(kProgramCheck, "cmd"), "missing field cmd"},
        RuleCase{"FeedbackWithoutMessage", true, Without(kProgramFeedback, "feedback"),
                 "missing field feedback"},
        RuleCase{"FieldAtItsCap", false, With(kProgramCheck, "os", std::string(512, 'a')), ""},
        RuleCase{"FieldOverItsCap", false, With(kProgramCheck, "os", std::string(513, 'a')),
                 "field os too long"},
        RuleCase{"GuidOverItsCap", false, With(kProgramCheck, "guid", std::string(65, 'f')),
                 "field guid too long"},
        RuleCase{"OverlongEncoding", true, With(kProgramFeedback, "feedback", "\xC0\xAF"),
                 "field feedback not UTF-8"},
        RuleCase{"EncodedSurrogate", true, With(kProgramFeedback, "feedback", "a\xED\xA0\x80"),
                 "field feedback not UTF-8"},
        RuleCase{"CutSequence", false, With(kProgramCheck, "appname", "\xE6\x9D"),
                 "field appname not UTF-8"},
        RuleCase{"FourByteSequence", true, With(kProgramFeedback, "feedback", "\xF0\x9F\x8E\xA7"),
                 ""}),
    CaseName());

// The longest message the form lets a person write, in the script that
// costs most bytes, with a translated phrase and an address: the body the
// program sends for it fits, and its fields pass.
TEST(VendorFormRules, TheLargestFeedbackThePersonCanWriteFits) {
    const QString message(10000, QChar(0x6771)); // three UTF-8 bytes, nine encoded
    const QString phrase =
        MarkedPhrase(QStringLiteral("I dislike it!"), QString(60, QChar(0x6c17)));
    const QStringList fields =
        FeedbackFields(QStringLiteral("QUIBLEX - Korvane"), QStringLiteral("1.0"),
                       FeedbackValue(phrase, message), QString(100, u'a'));
    const QByteArray body = EncodeFormFields(fields);
    EXPECT_GT(body.size(), 90000);
    EXPECT_LE(static_cast<std::size_t>(body.size()), MaxFormBodyBytes());
    EXPECT_EQ(RefusalReason(FeedbackCommand(), ParseFormBody(body.toStdString())), "");

    // Every CR LF of a message of line breaks is two bytes of one character.
    const QString lines = QString(10000, u'\n');
    const QByteArray breaks = EncodeFormFields(FeedbackFields(
        QStringLiteral("QUIBLEX - Korvane"), QStringLiteral("1.0"),
        FeedbackValue(phrase, QString(lines).replace(u'\n', QStringLiteral("\r\n"))), QString()));
    EXPECT_LE(static_cast<std::size_t>(breaks.size()), MaxFormBodyBytes());
    EXPECT_EQ(RefusalReason(FeedbackCommand(), ParseFormBody(breaks.toStdString())), "");
}

TEST(VendorFormRules, ParsesFormBodiesAsTheProgramEncodesThem) {
    const QStringList sent{QStringLiteral("cmd=feedback"),
                           QStringLiteral("feedback=A & B = C + 100% \u00fc\r\n\u6771"),
                           QStringLiteral("email=user+tag@example.org")};
    const FormFields parsed = ParseFormBody(EncodeFormFields(sent).toStdString());
    EXPECT_EQ(parsed, Fields({{"cmd", "feedback"},
                              {"feedback", "A & B = C + 100% \xC3\xBC\r\n\xE6\x9D\xB1"},
                              {"email", "user+tag@example.org"}}));
    EXPECT_EQ(ParseFormBody("a&&b=&=c&d=1=2"),
              Fields({{"a", ""}, {"b", ""}, {"", "c"}, {"d", "1=2"}}));
}

struct LogCase {
    const char* name;
    std::string raw;
    std::string logged;
};

class VendorLogTextTest : public ::testing::TestWithParam<LogCase> {};

TEST_P(VendorLogTextTest, OnlyPrintableAsciiReachesTheLog) {
    EXPECT_EQ(LogText(GetParam().raw, 32), GetParam().logged);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VendorLogTextTest,
    ::testing::Values(LogCase{"Plain", "/php/check2.php", "/php/check2.php"},
                      LogCase{"TerminalEscape", "/\x1b[2J\x1b]0;owned\x07",
                              "/\\x1b[2J\\x1b]0;owned\\x07"},
                      LogCase{"ForgedLine", "/a\r\nhttp 10.0.0.1 POST / 200",
                              "/a\\x0d\\x0ahttp 10.0.0.1 POST / 200"},
                      LogCase{"BackslashIsDoubled", "\\x41", "\\\\x41"},
                      LogCase{"DeleteAndC1", "\x7f\xc2\x9b", "\\x7f\\xc2\\x9b"},
                      LogCase{"BidiOverride", "\xe2\x80\xae", "\\xe2\\x80\\xae"},
                      LogCase{"LongIsCut", std::string(40, 'a'), std::string(32, 'a') + "..."}),
    CaseName());
