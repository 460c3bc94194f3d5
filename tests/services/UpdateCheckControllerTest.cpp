// The main window's side of the update check, with the worker on its own
// thread talking to the reference vendor server.
#include "services/UpdateCheckController.h"

#include "VendorServerProcess.h"
#include "support/ThreadCount.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

using namespace vendortest;

namespace {

CheckConfig ConfigFor(const VendorServerProcess& server, const QString& settingsFile) {
    CheckConfig config;
    config.AppTitle = QStringLiteral("QUIBLEX - Korvane");
    config.AppVersion = QStringLiteral("1.0");
    config.SettingsFile = settingsFile;
    config.SecureUrl = server.HttpsUrl(QStringLiteral("/php/check2.php"));
    config.PlainUrl = server.HttpUrl(QStringLiteral("/php/check2.php"));
    config.Post.CaFile = server.CaFile();
    return config;
}

// Runs the event loop until the check reports back; how many times it did.
struct Reports {
    explicit Reports(UpdateCheckController& controller) {
        QObject::connect(&controller, &UpdateCheckController::checkFinished,
                         [this](const UpdateCheckController::Outcome& outcome) {
                             last = outcome;
                             ++count;
                         });
    }
    UpdateCheckController::Outcome waitForOne() {
        const QDeadlineTimer deadline(60000);
        while (count == 0 && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        EXPECT_EQ(count, 1) << "the check never finished";
        return last;
    }
    UpdateCheckController::Outcome last;
    int count = 0;
};

QString StoredShowUpdate(const QString& file) {
    return QSettings(file, QSettings::IniFormat)
        .value(QStringLiteral("Settings/ShowUpdate"))
        .toString();
}

} // namespace

TEST(UpdateCheckControllerTest, FirstTickStartsTheWorkerWhichReportsOnceThroughTheFlag) {
    VendorServerProcess server({.Https = true});
    ASSERT_TRUE(server.Running()) << server.StartupLog().toStdString();
    QTemporaryDir dir;
    UpdateCheckController controller(ConfigFor(server, dir.filePath(QStringLiteral("s.ini"))));
    Reports reports(controller);
    EXPECT_FALSE(controller.started());

    controller.start();
    EXPECT_TRUE(controller.started());
    EXPECT_FALSE(controller.finished());
    EXPECT_EQ(reports.count, 0);

    const UpdateCheckController::Outcome done = reports.waitForOne();
    EXPECT_TRUE(controller.finished());
    EXPECT_TRUE(done.NotificationsOn);
    EXPECT_TRUE(done.ShowNotice);
    EXPECT_EQ(controller.serverVersion(), QStringLiteral("2.0"));
    EXPECT_EQ(controller.downloadUrl(), ServerOptions{}.Url);
    EXPECT_EQ(server.Requests(QStringLiteral("check")).size(), 1);

    // A second start does nothing, and nothing more is reported: one notice per run.
    controller.start();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 200);
    EXPECT_EQ(reports.count, 1);
    EXPECT_EQ(server.Requests(QStringLiteral("check")).size(), 1);
}

TEST(UpdateCheckControllerTest, TheSwitchIsStoredAtOnceThroughTheWorkersStore) {
    VendorServerProcess server({.Https = true});
    ASSERT_TRUE(server.Running()) << server.StartupLog().toStdString();
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("s.ini"));
    UpdateCheckController controller(ConfigFor(server, file));
    Reports reports(controller);

    // Before the check is done the switch is not the GUI thread's to write.
    controller.start();
    controller.setNotificationsEnabled(false);
    reports.waitForOne();
    EXPECT_TRUE(controller.notificationsEnabled());
    EXPECT_EQ(StoredShowUpdate(file), QString());

    controller.setNotificationsEnabled(false);
    EXPECT_FALSE(controller.notificationsEnabled());
    EXPECT_EQ(StoredShowUpdate(file), QStringLiteral("0"));
    controller.setNotificationsEnabled(true);
    EXPECT_EQ(StoredShowUpdate(file), QStringLiteral("1"));
}

TEST(UpdateCheckControllerTest, SwitchedOffNotificationsUntickTheItemAndMakeNoContact) {
    VendorServerProcess server({.Https = true});
    ASSERT_TRUE(server.Running()) << server.StartupLog().toStdString();
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("s.ini"));
    QSettings(file, QSettings::IniFormat)
        .setValue(QStringLiteral("Settings/ShowUpdate"), QStringLiteral("0"));
    UpdateCheckController controller(ConfigFor(server, file));
    Reports reports(controller);
    controller.start();
    const UpdateCheckController::Outcome done = reports.waitForOne();
    EXPECT_FALSE(done.NotificationsOn);
    EXPECT_FALSE(done.ShowNotice);
    EXPECT_FALSE(controller.notificationsEnabled());
    EXPECT_TRUE(server.Requests().isEmpty());
    EXPECT_EQ(
        QSettings(file, QSettings::IniFormat).value(QStringLiteral("Settings/HowMany")).toString(),
        QStringLiteral("1"));
}

// Quitting during a check: the controller goes while its worker waits for a
// server that never answers. The request is abandoned, the worker ends
// before the controller is gone, the counters are stored all the same, and
// no report comes afterwards.
TEST(UpdateCheckControllerTest, DestroyingTheControllerAbandonsTheCheckAndLeavesNoThread) {
    SilentListener silent;
    ASSERT_GT(silent.Port(), 0);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("s.ini"));
    CheckConfig config;
    config.AppTitle = QStringLiteral("QUIBLEX - Korvane");
    config.AppVersion = QStringLiteral("1.0");
    config.SettingsFile = file;
    config.SecureUrl = QStringLiteral("http://127.0.0.1:%1/php/check2.php").arg(silent.Port());
    config.PlainUrl = config.SecureUrl;
    config.Post.ConnectTimeoutMs = 60000;
    config.Post.ResponseTimeoutMs = 60000;

    const int before = threadcount::Current();
    QElapsedTimer clock;
    clock.start();
    {
        UpdateCheckController controller(config);
        controller.start();
        // Time to reach the request, which then waits for a minute.
        QThread::msleep(500);
        EXPECT_GT(threadcount::Current(), before);
    }
    EXPECT_LT(clock.elapsed(), 10000) << "abandoned, not left to run into its time-outs";
    EXPECT_TRUE(threadcount::SettlesAtMost(before));
    // The store was written and handed over, the contact counted.
    const QSettings stored(file, QSettings::IniFormat);
    EXPECT_EQ(stored.value(QStringLiteral("Settings/HowMany")), QStringLiteral("1"));
    EXPECT_EQ(stored.value(QStringLiteral("Settings/LastUpdateCheckCount")), QStringLiteral("1"));
}
