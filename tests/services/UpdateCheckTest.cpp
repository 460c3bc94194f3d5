// The update check's starts, end to end against the reference vendor server
// (and scripted servers for answers it would never give) on loopback.
#include "services/UpdateCheck.h"

#include "ScriptedServer.h"
#include "VendorServerProcess.h"
#include "platform/SystemInfo.h"
#include "services/TextScramble.h"
#include "services/WebHelpers.h"
#include "support/NamedCases.h"

#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <ostream>

using namespace vendortest;

namespace {

const QString kToday = QStringLiteral("10.06.2024");
const QString kOfferedUrl = QStringLiteral("https://downloads.example.org/korvane-2.0.tar.xz");
const QString kOlderUrl = QStringLiteral("https://downloads.example.org/korvane-1.5.tar.xz");

using Values = std::map<QString, QString>;

// A store left by an earlier start of 1.0 today, after an answer offering 1.5.
Values EarlierToday(int contacts) {
    return {{QStringLiteral("LastUpdateCheck"), kToday},
            {QStringLiteral("LastUpdateCheckCount"), QString::number(contacts)},
            {QStringLiteral("InstalledVersion"), QStringLiteral("1.0")},
            {QStringLiteral("HowMany"), QStringLiteral("9")},
            {QStringLiteral("CurrentVersion"), QStringLiteral("1.5")},
            {QStringLiteral("CurrentURL"), ScrambleText(kOlderUrl, kCurrentUrlKey)}};
}

Values With(Values values, const QString& key, const QString& value) {
    values[key] = value;
    return values;
}

struct CheckRun {
    std::shared_ptr<CheckState> state = std::make_shared<CheckState>();
    QTemporaryDir dir;
    QString settingsFile;

    explicit CheckRun(const Values& stored) {
        settingsFile = dir.filePath(QStringLiteral("check.ini"));
        QSettings seed(settingsFile, QSettings::IniFormat);
        for (const auto& [key, value] : stored) {
            seed.setValue(QStringLiteral("Settings/") + key, value);
        }
    }

    void Run(const QString& secureUrl, const QString& plainUrl, const QString& caFile = {}) {
        CheckConfig config;
        config.AppTitle = QStringLiteral("QUIBLEX - Korvane");
        config.AppVersion = QStringLiteral("1.0");
        config.SettingsFile = settingsFile;
        config.SecureUrl = secureUrl;
        config.PlainUrl = plainUrl;
        config.Post.ConnectTimeoutMs = 5000;
        config.Post.ResponseTimeoutMs = 5000;
        config.Post.CaFile = caFile;
        config.TodayText = [] { return kToday; };
        TChecker(config, state).Execute();
    }

    QString Stored(const QString& key) const {
        return QSettings(settingsFile, QSettings::IniFormat)
            .value(QStringLiteral("Settings/") + key)
            .toString();
    }
};

QString Refused() {
    return QStringLiteral("https://127.0.0.1:%1/php/check2.php").arg(ClosedPort());
}

} // namespace

struct StartCase {
    const char* name;
    Values stored;
    QString offered = QStringLiteral("2.0");
    bool answerError = false;
    // Expected:
    bool contacted = true;
    QString dayCount;
    QString howMany;
    bool notice = false;
    QString currentVersion = QStringLiteral("2.0");
    QString downloadUrl = QStringLiteral("https://downloads.example.org/korvane-2.0.tar.xz");
    QString checkErrors = {};
    int showUpdate = 1;
};

class UpdateCheckStartsTest : public ::testing::TestWithParam<StartCase> {};

TEST_P(UpdateCheckStartsTest, CountsContactsAndDecidesTheNotice) {
    const StartCase& c = GetParam();
    VendorServerProcess server(
        {.Version = c.offered, .Url = kOfferedUrl, .Https = false, .AnswerError = c.answerError});
    ASSERT_TRUE(server.Running()) << server.StartupLog().toStdString();
    CheckRun run(c.stored);
    // The secure attempt fails (nothing listens), the plain one reaches the server.
    run.Run(Refused(), server.HttpUrl(QStringLiteral("/php/check2.php")));
    const CheckState& s = *run.state;

    ASSERT_TRUE(s.CheckDone.load(std::memory_order_acquire));
    EXPECT_EQ(server.Requests(QStringLiteral("check")).size(), c.contacted ? 1 : 0);
    EXPECT_EQ(s.NewVersionAvailable, c.notice);
    EXPECT_EQ(s.ShowUpdate, c.showUpdate);
    EXPECT_EQ(s.CheckErrors, c.checkErrors);
    EXPECT_EQ(s.CheckFailed, !c.checkErrors.isEmpty());
    EXPECT_EQ(run.Stored(QStringLiteral("LastUpdateCheckCount")), c.dayCount);
    EXPECT_EQ(run.Stored(QStringLiteral("HowMany")), c.howMany);
    EXPECT_EQ(run.Stored(QStringLiteral("InstalledVersion")), QStringLiteral("1.0"));
    EXPECT_EQ(run.Stored(QStringLiteral("CurrentVersion")), c.currentVersion);
    EXPECT_EQ(s.DownloadUrl, c.downloadUrl);
    EXPECT_EQ(UnscrambleText(run.Stored(QStringLiteral("CurrentURL")), kCurrentUrlKey),
              c.downloadUrl);
    if (c.contacted) {
        EXPECT_EQ(run.Stored(QStringLiteral("LastUpdateCheck")), kToday);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Starts, UpdateCheckStartsTest,
    ::testing::Values(StartCase{.name = "FirstStartEver",
                                .stored = {},
                                .dayCount = QStringLiteral("1"),
                                .howMany = QStringLiteral("1"),
                                .notice = true},
                      StartCase{.name = "ThirdContactOfTheDayStillAnnounces",
                                .stored = EarlierToday(2),
                                .dayCount = QStringLiteral("3"),
                                .howMany = QStringLiteral("10"),
                                .notice = true},
                      StartCase{.name = "FourthContactStoresButStaysQuiet",
                                .stored = EarlierToday(3),
                                .dayCount = QStringLiteral("4"),
                                .howMany = QStringLiteral("10")},
                      StartCase{.name = "FifthContactStoresButStaysQuiet",
                                .stored = EarlierToday(4),
                                .dayCount = QStringLiteral("5"),
                                .howMany = QStringLiteral("10")},
                      StartCase{.name = "SixthStartOfTheDayMakesNoContact",
                                .stored = EarlierToday(5),
                                .contacted = false,
                                .dayCount = QStringLiteral("5"),
                                .howMany = QStringLiteral("10"),
                                .currentVersion = QStringLiteral("1.5"),
                                .downloadUrl = kOlderUrl},
                      StartCase{.name = "AnotherDayRestartsTheCount",
                                .stored = With(EarlierToday(5), QStringLiteral("LastUpdateCheck"),
                                               QStringLiteral("09.06.2024")),
                                .dayCount = QStringLiteral("1"),
                                .howMany = QStringLiteral("10"),
                                .notice = true},
                      StartCase{.name = "NewProgramVersionRestartsHowMany",
                                .stored = With(EarlierToday(1), QStringLiteral("InstalledVersion"),
                                               QStringLiteral("0.9")),
                                .dayCount = QStringLiteral("2"),
                                .howMany = QStringLiteral("1"),
                                .notice = true},
                      StartCase{.name = "NegativeHowManyRestarts",
                                .stored = With(EarlierToday(1), QStringLiteral("HowMany"),
                                               QStringLiteral("-4")),
                                .dayCount = QStringLiteral("2"),
                                .howMany = QStringLiteral("1"),
                                .notice = true},
                      StartCase{.name = "ShowUpdateZeroMakesNoContactButCounts",
                                .stored = With(EarlierToday(1), QStringLiteral("ShowUpdate"),
                                               QStringLiteral("0")),
                                .contacted = false,
                                .dayCount = QStringLiteral("1"),
                                .howMany = QStringLiteral("10"),
                                .currentVersion = QStringLiteral("1.5"),
                                .downloadUrl = kOlderUrl,
                                .showUpdate = 0},
                      StartCase{.name = "ShowUpdateTwoContactsWithoutNotice",
                                .stored = With(EarlierToday(1), QStringLiteral("ShowUpdate"),
                                               QStringLiteral("2")),
                                .dayCount = QStringLiteral("2"),
                                .howMany = QStringLiteral("10"),
                                .showUpdate = 2},
                      StartCase{.name = "SameVersionIsNoNews",
                                .stored = {},
                                .offered = QStringLiteral("1.0"),
                                .dayCount = QStringLiteral("1"),
                                .howMany = QStringLiteral("1"),
                                .currentVersion = QStringLiteral("1.0")},
                      StartCase{.name = "VersionWithLettersIsNotAnnounced",
                                .stored = {},
                                .offered = QStringLiteral("1.0b"),
                                .dayCount = QStringLiteral("1"),
                                .howMany = QStringLiteral("1"),
                                .currentVersion = QStringLiteral("1.0b")},
                      StartCase{.name = "LowerVersionIsAnnouncedToo",
                                .stored = {},
                                .offered = QStringLiteral("0.9"),
                                .dayCount = QStringLiteral("1"),
                                .howMany = QStringLiteral("1"),
                                .notice = true,
                                .currentVersion = QStringLiteral("0.9")},
                      StartCase{.name = "ErrorAnswerIsRejectedAndKeepsTheStore",
                                .stored = EarlierToday(1),
                                .answerError = true,
                                .dayCount = QStringLiteral("2"),
                                .howMany = QStringLiteral("10"),
                                .currentVersion = QStringLiteral("1.5"),
                                .downloadUrl = kOlderUrl,
                                .checkErrors = QStringLiteral("INVALIDSERVERRESPONSE")}),
    CaseName());

TEST(UpdateCheckTest, SecureAnswerIsUsedAndThePlainServerNotAsked) {
    VendorServerProcess server({.Https = true});
    ASSERT_TRUE(server.Running()) << server.StartupLog().toStdString();
    CheckRun run({});
    run.Run(server.HttpsUrl(QStringLiteral("/php/check2.php")),
            server.HttpUrl(QStringLiteral("/php/check2.php")), server.CaFile());

    const QList<StoredRequest> requests = server.Requests();
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0].Scheme, QStringLiteral("https"));
    EXPECT_TRUE(run.state->NewVersionAvailable);
    EXPECT_FALSE(run.state->CheckFailed);
    EXPECT_EQ(run.state->ServerVersion, QStringLiteral("2.0"));
    EXPECT_TRUE(run.state->DownloadUrlFromHttps);
    EXPECT_EQ(run.Stored(QStringLiteral("CurrentURLOverHttps")), QStringLiteral("1"));
}

TEST(UpdateCheckTest, SendsTheRequestFieldsInOrderAndNeverTheRawMachineId) {
    VendorServerProcess server;
    ASSERT_TRUE(server.Running()) << server.StartupLog().toStdString();
    CheckRun run(EarlierToday(0));
    run.Run(Refused(), server.HttpUrl(QStringLiteral("/php/check2.php")));

    const QList<StoredRequest> requests = server.Requests(QStringLiteral("check"));
    ASSERT_EQ(requests.size(), 1);
    const QList<QPair<QString, QString>> expected{
        {QStringLiteral("cmd"), QStringLiteral("check")},
        {QStringLiteral("appname"), QStringLiteral("QUIBLEX - Korvane")},
        {QStringLiteral("version"), QStringLiteral("1.0")},
        {QStringLiteral("os"), OsDescription()},
        {QStringLiteral("local"), UserLocaleName()},
        {QStringLiteral("guid"), ReadMachineGuid()},
        {QStringLiteral("howmany"), QStringLiteral("10")}};
    EXPECT_EQ(requests[0].Fields, expected);
    const QByteArray machineId = QSysInfo::machineUniqueId();
    if (!machineId.isEmpty()) {
        for (const auto& field : requests[0].Fields) {
            EXPECT_FALSE(
                field.second.contains(QString::fromLatin1(machineId), Qt::CaseInsensitive));
        }
    }
}

TEST(UpdateCheckTest, PlainFallbackClearsTheSecureFailure) {
    VendorServerProcess server;
    ASSERT_TRUE(server.Running()) << server.StartupLog().toStdString();
    CheckRun run({});
    run.Run(Refused(), server.HttpUrl(QStringLiteral("/php/check2.php")));
    EXPECT_FALSE(run.state->CheckFailed);
    EXPECT_EQ(run.state->CheckErrors, QString());
    EXPECT_TRUE(run.state->NewVersionAvailable);
    // Anyone on the path could have given that address.
    EXPECT_EQ(run.state->DownloadUrl, kOfferedUrl);
    EXPECT_FALSE(run.state->DownloadUrlFromHttps);
    EXPECT_EQ(run.Stored(QStringLiteral("CurrentURLOverHttps")), QStringLiteral("0"));
}

struct StoredTransportCase {
    const char* name;
    std::optional<QString> overHttps; // the stored marker; none: not stored
    bool trusted;
};

class StoredAddressTest : public ::testing::TestWithParam<StoredTransportCase> {};

// A start that makes no contact still loads the stored address, and with it
// how that address came.
TEST_P(StoredAddressTest, KeepsTheTransportItCameBy) {
    Values stored = EarlierToday(5);
    if (GetParam().overHttps) {
        stored[QStringLiteral("CurrentURLOverHttps")] = *GetParam().overHttps;
    }
    CheckRun run(stored);
    run.Run(Refused(), Refused());
    ASSERT_TRUE(run.state->CheckDone.load(std::memory_order_acquire));
    EXPECT_EQ(run.state->DownloadUrl, kOlderUrl);
    EXPECT_EQ(run.state->DownloadUrlFromHttps, GetParam().trusted);
}

INSTANTIATE_TEST_SUITE_P(
    Stores, StoredAddressTest,
    ::testing::Values(StoredTransportCase{"OverHttps", QStringLiteral("1"), true},
                      StoredTransportCase{"OverHttp", QStringLiteral("0"), false},
                      StoredTransportCase{"StoredBeforeItWasKept", std::nullopt, false},
                      StoredTransportCase{"Garbled", QStringLiteral("yes"), false}),
    CaseName());

TEST(UpdateCheckTest, BothTransportsFailingRecordsBothAndKeepsTheStore) {
    CheckRun run(EarlierToday(1));
    run.Run(Refused(), QStringLiteral("http://127.0.0.1:%1/php/check2.php").arg(ClosedPort()));
    const CheckState& s = *run.state;
    EXPECT_TRUE(s.CheckDone.load(std::memory_order_acquire));
    EXPECT_TRUE(s.CheckFailed);
    EXPECT_TRUE(s.CheckErrors.startsWith(QStringLiteral("HTTPS Response:\r")))
        << s.CheckErrors.toStdString();
    EXPECT_TRUE(s.CheckErrors.contains(QStringLiteral("\r\rHTTP Response:\r")))
        << s.CheckErrors.toStdString();
    EXPECT_FALSE(s.NewVersionAvailable);
    // The contact is counted before it is tried.
    EXPECT_EQ(run.Stored(QStringLiteral("LastUpdateCheckCount")), QStringLiteral("2"));
    EXPECT_EQ(run.Stored(QStringLiteral("CurrentVersion")), QStringLiteral("1.5"));
    EXPECT_EQ(s.DownloadUrl, kOlderUrl);
}

struct AnswerCase {
    const char* name;
    std::string answer;
    QString serverVersion;
    QString currentVersion;
    QString downloadUrl;
    bool notice;
};

class UpdateAnswerTest : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(UpdateAnswerTest, OnlyWholeLowerCaseElementsCount) {
    const AnswerCase& c = GetParam();
    ScriptedServer server(Answering(c.answer));
    ASSERT_GT(server.Port(), 0);
    CheckRun run(EarlierToday(0));
    run.Run(Refused(), server.Url());
    const CheckState& s = *run.state;
    EXPECT_FALSE(s.CheckFailed) << s.CheckErrors.toStdString();
    EXPECT_EQ(s.ServerVersion, c.serverVersion);
    EXPECT_EQ(run.Stored(QStringLiteral("CurrentVersion")), c.currentVersion);
    EXPECT_EQ(s.DownloadUrl, c.downloadUrl);
    EXPECT_EQ(UnscrambleText(run.Stored(QStringLiteral("CurrentURL")), kCurrentUrlKey),
              c.downloadUrl);
    EXPECT_EQ(s.NewVersionAvailable, c.notice);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, UpdateAnswerTest,
    ::testing::Values(
        AnswerCase{"CapitalisedElements",
                   "<VERSION>2.0</VERSION>\r\n<URL>https://example.org/x</URL>\r\n", QString(),
                   QString(), QString(), false},
        AnswerCase{"OneLineAnswerKeepsTheStoredAddress", "<version>2.0</version>",
                   QStringLiteral("2.0"), QStringLiteral("2.0"), kOlderUrl, false},
        AnswerCase{"EmptyAnswerChangesNothing", "", QString(), QStringLiteral("1.5"), kOlderUrl,
                   false},
        AnswerCase{"LineFeedsOnly", "<version>2.0</version>\n<url>https://example.org/y</url>\n",
                   QStringLiteral("2.0"), QStringLiteral("2.0"),
                   QStringLiteral("https://example.org/y"), true},
        AnswerCase{"CarriageReturnsAndMoreLines",
                   "<version>3.1</version>\r<url>https://example.org/z</url>\r<notes>x</notes>\r",
                   QStringLiteral("3.1"), QStringLiteral("3.1"),
                   QStringLiteral("https://example.org/z"), true},
        AnswerCase{"BlankInFrontOfTheVersion",
                   " <version>2.0</version>\r\n<url>https://example.org/w</url>", QString(),
                   QString(), QStringLiteral("https://example.org/w"), false}),
    CaseName());

TEST(UpdateCheckTest, SixthStartIsCountedByTheUsersShortDate) {
    // Without an injected date the check compares the user's short date.
    VendorServerProcess server;
    ASSERT_TRUE(server.Running()) << server.StartupLog().toStdString();
    Values stored = EarlierToday(5);
    stored[QStringLiteral("LastUpdateCheck")] = TodayShortDate();
    CheckRun run(stored);
    CheckConfig config;
    config.AppVersion = QStringLiteral("1.0");
    config.SettingsFile = run.settingsFile;
    config.SecureUrl = Refused();
    config.PlainUrl = server.HttpUrl(QStringLiteral("/php/check2.php"));
    TChecker(config, run.state).Execute();
    EXPECT_TRUE(run.state->CheckDone.load(std::memory_order_acquire));
    EXPECT_TRUE(server.Requests().isEmpty());
    EXPECT_EQ(run.Stored(QStringLiteral("LastUpdateCheckCount")), QStringLiteral("5"));
}
