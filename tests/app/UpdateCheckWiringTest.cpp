// The main window's update check against the reference vendor server: the
// timer starts it, the switch waits for it, and a newer version is announced.
#include "../services/VendorServerProcess.h"
#include "AppFormFixture.h"
#include "services/NewVersionNotice.h"
#include "services/UpdateCheck.h"
#include "support/NamedCases.h"
#include "support/ThreadCount.h"

#include <QAction>
#include <QElapsedTimer>
#include <QLabel>
#include <QSettings>
#include <QTest>

using vendortest::ServerOptions;
using vendortest::VendorServerProcess;

namespace {

class UpdateCheckWiring : public AppFormTest {
protected:
    QTemporaryDir store;

    // Without https on the server nothing listens for it: the check falls
    // back to plain http.
    void pointAt(const VendorServerProcess& server, bool https = false) {
        environment.CheckForUpdates = true;
        const QString settings = store.filePath(QStringLiteral("update.ini"));
        const QString plain = server.HttpUrl(QStringLiteral("/php/check2.php"));
        const QString secure = https ? server.HttpsUrl(QStringLiteral("/php/check2.php"))
                                     : QStringLiteral("https://127.0.0.1:%1/php/check2.php")
                                           .arg(vendortest::ClosedPort());
        const QString caFile = server.CaFile();
        environment.AdjustUpdateCheck = [settings, secure, plain, caFile](CheckConfig& config) {
            config.SettingsFile = settings;
            config.SecureUrl = secure;
            config.PlainUrl = plain;
            config.Post.CaFile = caFile;
        };
    }

    // Runs the check, waits for its notice and clicks the notice's link as a
    // person does; what the desktop was asked to open.
    QList<QUrl> clickTheNotice() {
        TAppForm& w = makeForm();
        EXPECT_TRUE(runCheck(w));
        const QList<TNewVer*> notices = w.findChildren<TNewVer*>();
        if (notices.size() != 1) {
            ADD_FAILURE() << "one notice expected, found " << notices.size();
            return {};
        }
        TNewVer* notice = notices.front();
        // Shown, and grown out of its centre to its full size.
        EXPECT_TRUE(QTest::qWaitFor(
            [notice] {
                return notice->isVisible() && notice->geometry() == notice->RestingGeometry();
            },
            5000));
        QTest::mouseClick(notice->Label2, Qt::LeftButton, Qt::NoModifier,
                          notice->Label2->rect().center());
        EXPECT_FALSE(notice->isVisible()) << "the click closes the notice";
        return openedUrls;
    }

    // Ticks TimerChecker's handler until the switch is enabled (the check done).
    bool runCheck(TAppForm& w) {
        w.TimerChecker->stop(); // ticks are driven here, not by the clock
        for (int i = 0; i < 400 && !w.UpdateNotifications1->isEnabled(); ++i) {
            QMetaObject::invokeMethod(w.TimerChecker, "timeout", Qt::DirectConnection);
            QTest::qWait(25);
        }
        return w.UpdateNotifications1->isEnabled();
    }
};

} // namespace

TEST_F(UpdateCheckWiring, NewerVersionIsAnnouncedAndTheSwitchWorks) {
    ServerOptions options;
    options.Version = QStringLiteral("2.0");
    VendorServerProcess server(options);
    ASSERT_TRUE(server.Running()) << server.StartupLog().toStdString();
    pointAt(server);
    TAppForm& w = makeForm();
    EXPECT_FALSE(w.UpdateNotifications1->isEnabled()) << "disabled until the check is done";

    ASSERT_TRUE(runCheck(w));
    EXPECT_TRUE(w.UpdateNotifications1->isChecked());
    ASSERT_FALSE(server.Requests(QStringLiteral("check")).isEmpty()) << "the server was asked";
    const QList<TNewVer*> notices = w.findChildren<TNewVer*>();
    ASSERT_EQ(notices.size(), 1);
    EXPECT_TRUE(notices.front()->Label1->text().contains(QStringLiteral("2.0")) ||
                notices.front()->Label2->text().contains(QStringLiteral("2.0")));

    // Switching notices off is stored for the next start.
    w.UpdateNotifications1->trigger();
    EXPECT_FALSE(w.UpdateNotifications1->isChecked());
    QSettings stored(store.filePath(QStringLiteral("update.ini")), QSettings::IniFormat);
    EXPECT_EQ(stored.value(QStringLiteral("Settings/ShowUpdate")).toString(), QStringLiteral("0"));
}

TEST_F(UpdateCheckWiring, WithoutTheSettingNoCheckRuns) {
    environment.CheckForUpdates = false;
    TAppForm& w = makeForm();
    QMetaObject::invokeMethod(w.TimerChecker, "timeout", Qt::DirectConnection);
    EXPECT_FALSE(w.TimerChecker->isActive());
    EXPECT_TRUE(w.findChildren<TNewVer*>().isEmpty());
}

// The server's address, wherever it points, when the answer came over https.
TEST_F(UpdateCheckWiring, AnAnswerOverHttpsLeadsWhereItSays) {
    ServerOptions options;
    options.Https = true;
    options.Url = QStringLiteral("https://mirror.example.net/korvane-2.0.tar.xz");
    VendorServerProcess server(options);
    ASSERT_TRUE(server.Running()) << server.StartupLog().toStdString();
    pointAt(server, true);
    EXPECT_EQ(clickTheNotice(), QList<QUrl>{QUrl(options.Url)});
    ASSERT_EQ(server.Requests().size(), 1);
    EXPECT_EQ(server.Requests().front().Scheme, QStringLiteral("https"));
}

struct PlainAnswerCase {
    const char* name;
    QString offered;
    QString opened;
};

class UpdateCheckPlainAnswer : public UpdateCheckWiring,
                               public ::testing::WithParamInterface<PlainAnswerCase> {};

// Anyone on the path can answer a plain-http check: the notice still tells
// of the version, but only the vendor's own https addresses are opened.
TEST_P(UpdateCheckPlainAnswer, CannotChooseWhereTheNoticeLeads) {
    qunsetenv("KORVANE_VENDOR_HOST"); // the vendor is the build's
    ServerOptions options;
    options.Url = GetParam().offered;
    VendorServerProcess server(options);
    ASSERT_TRUE(server.Running()) << server.StartupLog().toStdString();
    pointAt(server);
    EXPECT_EQ(clickTheNotice(), QList<QUrl>{QUrl(GetParam().opened)});
    QSettings stored(store.filePath(QStringLiteral("update.ini")), QSettings::IniFormat);
    EXPECT_EQ(stored.value(QStringLiteral("Settings/CurrentURLOverHttps")).toString(),
              QStringLiteral("0"))
        << "the address stays untrusted on later starts";
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, UpdateCheckPlainAnswer,
    ::testing::Values(
        PlainAnswerCase{"ForeignHost", QStringLiteral("https://evil.example/korvane-2.0.exe"),
                        QStringLiteral("https://" KORVANE_VENDOR_HOST "/")},
        PlainAnswerCase{"LookAlikeHost",
                        QStringLiteral("https://" KORVANE_VENDOR_HOST ".evil.example/k.exe"),
                        QStringLiteral("https://" KORVANE_VENDOR_HOST "/")},
        PlainAnswerCase{"VendorHostInTheUserInfo",
                        QStringLiteral("https://" KORVANE_VENDOR_HOST "@evil.example/k.exe"),
                        QStringLiteral("https://" KORVANE_VENDOR_HOST "/")},
        PlainAnswerCase{"VendorsOwnHttps",
                        QStringLiteral("https://" KORVANE_VENDOR_HOST "/korvane-2.0.tar.xz"),
                        QStringLiteral("https://" KORVANE_VENDOR_HOST "/korvane-2.0.tar.xz")}),
    CaseName());

// The window closes while its update check waits for a server that never
// answers: destroying it abandons the request, and no thread is left.
TEST_F(UpdateCheckWiring, ClosingTheWindowDuringTheCheckLeavesNoThread) {
    vendortest::SilentListener silent;
    ASSERT_GT(silent.Port(), 0);
    environment.CheckForUpdates = true;
    const QString settings = store.filePath(QStringLiteral("update.ini"));
    const QString hanging = QStringLiteral("http://127.0.0.1:%1/php/check2.php").arg(silent.Port());
    environment.AdjustUpdateCheck = [settings, hanging](CheckConfig& config) {
        config.SettingsFile = settings;
        config.SecureUrl = hanging;
        config.PlainUrl = hanging;
        config.Post.ConnectTimeoutMs = 60000;
        config.Post.ResponseTimeoutMs = 60000;
    };
    TAppForm& w = makeForm();
    QTest::qWait(100);
    const int before = threadcount::Current();
    w.TimerChecker->stop();
    QMetaObject::invokeMethod(w.TimerChecker, "timeout", Qt::DirectConnection);
    QTest::qWait(500); // in the request by now
    EXPECT_GT(threadcount::Current(), before);
    EXPECT_FALSE(w.UpdateNotifications1->isEnabled());

    QElapsedTimer clock;
    clock.start();
    w.close();
    form.reset();
    EXPECT_LT(clock.elapsed(), 10000) << "abandoned, not left to run into its time-outs";
    EXPECT_TRUE(threadcount::SettlesAtMost(before));
}
