#include "services/WebHelpers.h"

#include "services/TextScramble.h"
#include "services/UpdateCheck.h"
#include "support/NamedCases.h"

#include <QRegularExpression>
#include <gtest/gtest.h>
#include <ostream>

struct TagCase {
    const char* name;
    QString line;
    QString tag;
    QString value;
};

class ExtractTagValueTest : public ::testing::TestWithParam<TagCase> {};

TEST_P(ExtractTagValueTest, TakesOnlyAWholeLineElement) {
    EXPECT_EQ(ExtractTagValue(GetParam().line, GetParam().tag), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExtractTagValueTest,
    ::testing::Values(
        TagCase{"Version", QStringLiteral("<version>2.1</version>"), QStringLiteral("version"),
                QStringLiteral("2.1")},
        TagCase{"TagInCapitals", QStringLiteral("<version>2.1</version>"),
                QStringLiteral("VERSION"), QStringLiteral("2.1")},
        TagCase{"ElementInCapitals", QStringLiteral("<Version>2.1</Version>"),
                QStringLiteral("Version"), QString()},
        TagCase{"ElementInCapitalsLowerTag", QStringLiteral("<Version>2.1</Version>"),
                QStringLiteral("version"), QString()},
        TagCase{"Url", QStringLiteral("<url>https://x.org/a?b=c</url>"), QStringLiteral("url"),
                QStringLiteral("https://x.org/a?b=c")},
        TagCase{"EmptyElement", QStringLiteral("<url></url>"), QStringLiteral("url"), QString()},
        TagCase{"BlankBefore", QStringLiteral(" <url>x</url>"), QStringLiteral("url"), QString()},
        TagCase{"BlankAfter", QStringLiteral("<url>x</url> "), QStringLiteral("url"), QString()},
        TagCase{"OtherTag", QStringLiteral("<url>x</url>"), QStringLiteral("version"), QString()},
        TagCase{"OpeningOnly", QStringLiteral("<url>x"), QStringLiteral("url"), QString()},
        TagCase{"OverlappingShortLine", QStringLiteral("<a>"), QStringLiteral("a"), QString()},
        TagCase{"EmptyLine", QString(), QStringLiteral("url"), QString()},
        TagCase{"InnerMarkupKept", QStringLiteral("<url><b>x</b></url>"), QStringLiteral("url"),
                QStringLiteral("<b>x</b>")}),
    CaseName());

struct ScrambleCase {
    const char* name;
    QString text;
    std::uint16_t key;
};

class ScrambleRoundTripTest : public ::testing::TestWithParam<ScrambleCase> {};

TEST_P(ScrambleRoundTripTest, UnscrambleGivesTheTextBack) {
    const QString scrambled = ScrambleText(GetParam().text, GetParam().key);
    EXPECT_EQ(scrambled.size(), GetParam().text.toUtf8().size() * 2);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9A-F]*$")).match(scrambled).hasMatch())
        << scrambled.toStdString();
    EXPECT_EQ(UnscrambleText(scrambled, GetParam().key), GetParam().text);
    EXPECT_EQ(UnscrambleText(scrambled.toLower(), GetParam().key), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScrambleRoundTripTest,
    ::testing::Values(
        ScrambleCase{"Empty", QString(), 0x1234},
        ScrambleCase{"Url", QStringLiteral("https://downloads.example.org/korvane-2.0.tar.xz"),
                     kCurrentUrlKey},
        ScrambleCase{"KeyZero", QStringLiteral("abc"), 0},
        ScrambleCase{"KeyMax", QStringLiteral("abc"), 0xFFFF},
        ScrambleCase{"NonAscii", QStringLiteral("D\u00fcsseldorf \u20ac \U0001F600"), 0xBEEF},
        ScrambleCase{"Long", QString(5000, QLatin1Char('z')), 0x7F6A}),
    CaseName());

TEST(ScrambleTextTest, FollowsTheKeystream) {
    // By hand: first byte 0x41 ^ 0x00; the state becomes
    // (0 + 0x41) * 0xD201 + 0x7F6A mod 2^16 = 0xD1AB, so the second 'A' is 0x41 ^ 0xD1.
    EXPECT_EQ(ScrambleText(QStringLiteral("A"), 0), QStringLiteral("41"));
    EXPECT_EQ(ScrambleText(QStringLiteral("AA"), 0), QStringLiteral("4190"));
    EXPECT_EQ(ScrambleText(QStringLiteral("A"), 0x2000), QStringLiteral("61"));
    EXPECT_NE(ScrambleText(QStringLiteral("AA"), 1), ScrambleText(QStringLiteral("AA"), 2));
}

TEST(UnscrambleTextTest, RejectsWhatIsNotHexadecimal) {
    EXPECT_EQ(UnscrambleText(QStringLiteral("ZZ"), 0), QString());
    EXPECT_EQ(UnscrambleText(QStringLiteral("41ZZ"), 0), QString());
    EXPECT_EQ(UnscrambleText(QStringLiteral("4 "), 0), QString());
    // A last odd digit is ignored.
    EXPECT_EQ(UnscrambleText(QStringLiteral("419"), 0), QStringLiteral("A"));
    EXPECT_EQ(UnscrambleText(QStringLiteral("4190F"), 0), QStringLiteral("AA"));
}

struct AddressCase {
    const char* name;
    QString address;
    bool web;
};

class IsWebAddressTest : public ::testing::TestWithParam<AddressCase> {};

TEST_P(IsWebAddressTest, OnlyHttpAndHttpsWithAHost) {
    EXPECT_EQ(IsWebAddress(GetParam().address), GetParam().web);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IsWebAddressTest,
    ::testing::Values(
        AddressCase{"Https", QStringLiteral("https://example.org/dl/korvane.tar.xz"), true},
        AddressCase{"Http", QStringLiteral("http://example.org"), true},
        AddressCase{"CapitalScheme", QStringLiteral("HTTPS://example.org/x"), true},
        AddressCase{"Empty", QString(), false},
        AddressCase{"File", QStringLiteral("file:///usr/bin/xterm"), false},
        AddressCase{"LocalPath", QStringLiteral("/usr/bin/xterm"), false},
        AddressCase{"Javascript", QStringLiteral("javascript:alert(1)"), false},
        AddressCase{"Ftp", QStringLiteral("ftp://example.org/a"), false},
        AddressCase{"SmbShare", QStringLiteral("smb://server/share/setup.exe"), false},
        AddressCase{"NoHost", QStringLiteral("http:///etc/passwd"), false},
        AddressCase{"Relative", QStringLiteral("korvane.tar.xz"), false},
        AddressCase{"Blank", QStringLiteral("   "), false}),
    CaseName());

struct VendorAddressCase {
    const char* name;
    QString address;
    bool vendors;
};

class IsVendorAddressTest : public ::testing::TestWithParam<VendorAddressCase> {};

TEST_P(IsVendorAddressTest, OnlyHttpsOnTheVendorsHostOrItsSubdomains) {
    EXPECT_EQ(IsVendorAddress(GetParam().address, QStringLiteral("www.quiblex.com")),
              GetParam().vendors)
        << GetParam().address.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IsVendorAddressTest,
    ::testing::Values(
        VendorAddressCase{"OwnHost", QStringLiteral("https://www.quiblex.com/korvane-2.0.exe"),
                          true},
        VendorAddressCase{"Subdomain", QStringLiteral("https://dl.www.quiblex.com/k.tar.xz"), true},
        VendorAddressCase{"CapitalsAndRootDot", QStringLiteral("HTTPS://WWW.Quiblex.COM./x"), true},
        VendorAddressCase{"OtherPort", QStringLiteral("https://www.quiblex.com:8443/x"), true},
        VendorAddressCase{"PlainHttp", QStringLiteral("http://www.quiblex.com/x"), false},
        VendorAddressCase{"HostAsPrefix", QStringLiteral("https://www.quiblex.com.evil.example/"),
                          false},
        VendorAddressCase{"HostInTheUserInfo",
                          QStringLiteral("https://www.quiblex.com@evil.example/"), false},
        VendorAddressCase{"UserInfoOnTheHost", QStringLiteral("https://user:pw@www.quiblex.com/"),
                          false},
        VendorAddressCase{"BackslashBeforeTheAt",
                          QStringLiteral("https://evil.example\\@www.quiblex.com/"), false},
        VendorAddressCase{"GluedPrefix", QStringLiteral("https://evilwww.quiblex.com/"), false},
        VendorAddressCase{"ParentDomain", QStringLiteral("https://quiblex.com/"), false},
        VendorAddressCase{"HostInThePath", QStringLiteral("https://evil.example/www.quiblex.com"),
                          false},
        VendorAddressCase{"LookAlikeLetter", QStringLiteral("https://www.qu\u0456blex.com/"),
                          false},
        VendorAddressCase{"EncodedDot", QStringLiteral("https://www.quiblex%2Ecom.evil.example/"),
                          false},
        VendorAddressCase{"Empty", QString(), false}),
    CaseName());

TEST(VendorAddressTest, AnAddressByNumberHasNoSubdomains) {
    EXPECT_TRUE(
        IsVendorAddress(QStringLiteral("https://127.0.0.1:9/x"), QStringLiteral("127.0.0.1:8443")));
    EXPECT_FALSE(
        IsVendorAddress(QStringLiteral("https://evil.127.0.0.1/x"), QStringLiteral("127.0.0.1")));
}

struct NoticeAddressCase {
    const char* name;
    QString downloadUrl;
    bool fromHttps;
    QString opened;
};

class NoticeAddressTest : public ::testing::TestWithParam<NoticeAddressCase> {};

TEST_P(NoticeAddressTest, APlainAnswerCannotChooseWhereTheNoticeLeads) {
    const NoticeAddressCase& c = GetParam();
    EXPECT_EQ(NoticeAddress(c.downloadUrl, c.fromHttps, QStringLiteral("www.quiblex.com"),
                            QStringLiteral("http://www.quiblex.com")),
              c.opened);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NoticeAddressTest,
    ::testing::Values(
        NoticeAddressCase{"SecureAnswerForeignHost", QStringLiteral("https://cdn.example.org/k"),
                          true, QStringLiteral("https://cdn.example.org/k")},
        NoticeAddressCase{"SecureAnswerPlainAddress", QStringLiteral("http://cdn.example.org/k"),
                          true, QStringLiteral("http://cdn.example.org/k")},
        NoticeAddressCase{"PlainAnswerForeignHost", QStringLiteral("https://evil.example/k.exe"),
                          false, QStringLiteral("https://www.quiblex.com/")},
        NoticeAddressCase{"PlainAnswerLookAlike",
                          QStringLiteral("https://www.quiblex.com.evil.example/k"), false,
                          QStringLiteral("https://www.quiblex.com/")},
        NoticeAddressCase{"PlainAnswerVendorsOwnHttps",
                          QStringLiteral("https://www.quiblex.com/korvane-2.0.tar.xz"), false,
                          QStringLiteral("https://www.quiblex.com/korvane-2.0.tar.xz")},
        NoticeAddressCase{"PlainAnswerVendorsOwnHttp", QStringLiteral("http://www.quiblex.com/k"),
                          false, QStringLiteral("https://www.quiblex.com/")},
        NoticeAddressCase{"EmptyAddress", QString(), true,
                          QStringLiteral("http://www.quiblex.com")},
        NoticeAddressCase{"NotAWebAddress", QStringLiteral("file:///usr/bin/xterm"), true,
                          QStringLiteral("http://www.quiblex.com")}),
    CaseName());

TEST(CheckErrorsTest, BlankMessagesAreNotRecordedOthersAreJoinedByTwoCarriageReturns) {
    CheckState state;
    RecordCheckError(state, QStringLiteral(" \r\n\t"));
    EXPECT_FALSE(state.CheckFailed);
    EXPECT_TRUE(state.CheckErrors.isEmpty());
    RecordCheckError(state, QStringLiteral("first "));
    RecordCheckError(state, QStringLiteral("second"));
    EXPECT_TRUE(state.CheckFailed);
    EXPECT_EQ(state.CheckErrors, QStringLiteral("first \r\rsecond"));
    ClearCheckErrors(state);
    EXPECT_FALSE(state.CheckFailed);
    EXPECT_TRUE(state.CheckErrors.isEmpty());
}

TEST(VendorHostTest, TheEnvironmentMayNameAnotherHost) {
    qunsetenv("KORVANE_VENDOR_HOST");
    EXPECT_EQ(VendorHost(), QStringLiteral(KORVANE_VENDOR_HOST));
    EXPECT_EQ(UpdateServerAddress(), QStringLiteral(KORVANE_VENDOR_HOST "/php/check2.php"));
    qputenv("KORVANE_VENDOR_HOST", "127.0.0.1:8080");
    EXPECT_EQ(UpdateServerAddress(), QStringLiteral("127.0.0.1:8080/php/check2.php"));
    qunsetenv("KORVANE_VENDOR_HOST");
}
