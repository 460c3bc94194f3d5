// The main window's side of the update check, with the worker on its own
// thread talking to the reference vendor server.
#include "services/UpdateCheckController.h"

#include "VendorServerProcess.h"

#include <QDeadlineTimer>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

using namespace vendortest;

namespace {

TCheckConfig ConfigFor(const VendorServerProcess& server, const QString& settingsFile) {
    TCheckConfig config;
    config.AppTitle = QStringLiteral("QUIBLEX - Korvane");
    config.AppVersion = QStringLiteral("1.0");
    config.SettingsFile = settingsFile;
    config.SecureUrl = server.HttpsUrl(QStringLiteral("/php/check2.php"));
    config.PlainUrl = server.HttpUrl(QStringLiteral("/php/check2.php"));
    config.Post.CaFile = server.CaFile();
    return config;
}

// Ticks like the main window's timer until the check reports back.
UpdateCheckController::TickResult TickUntilFinished(UpdateCheckController& controller) {
    const QDeadlineTimer deadline(60000);
    while (!deadline.hasExpired()) {
        const UpdateCheckController::TickResult tick = controller.onTimerTick();
        if (tick.Finished) {
            return tick;
        }
        QThread::msleep(10);
    }
    ADD_FAILURE() << "the check never finished";
    return {};
}

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
    EXPECT_FALSE(controller.started());

    const UpdateCheckController::TickResult first = controller.onTimerTick();
    EXPECT_TRUE(controller.started());
    EXPECT_FALSE(first.Finished);
    EXPECT_FALSE(first.ShowNotice);

    const UpdateCheckController::TickResult done = TickUntilFinished(controller);
    EXPECT_TRUE(done.NotificationsOn);
    EXPECT_TRUE(done.ShowNotice);
    EXPECT_EQ(controller.serverVersion(), QStringLiteral("2.0"));
    EXPECT_EQ(controller.downloadUrl(), ServerOptions{}.Url);
    EXPECT_EQ(server.Requests(QStringLiteral("check")).size(), 1);

    // Later ticks report nothing more: one notice per run.
    const UpdateCheckController::TickResult later = controller.onTimerTick();
    EXPECT_FALSE(later.Finished);
    EXPECT_FALSE(later.ShowNotice);
}

TEST(UpdateCheckControllerTest, TheSwitchIsStoredAtOnceThroughTheWorkersStore) {
    VendorServerProcess server({.Https = true});
    ASSERT_TRUE(server.Running()) << server.StartupLog().toStdString();
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("s.ini"));
    UpdateCheckController controller(ConfigFor(server, file));

    // Before the check is done the switch is not the GUI thread's to write.
    controller.onTimerTick();
    controller.setNotificationsEnabled(false);
    TickUntilFinished(controller);
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
    controller.onTimerTick();
    const UpdateCheckController::TickResult done = TickUntilFinished(controller);
    EXPECT_FALSE(done.NotificationsOn);
    EXPECT_FALSE(done.ShowNotice);
    EXPECT_FALSE(controller.notificationsEnabled());
    EXPECT_TRUE(server.Requests().isEmpty());
    EXPECT_EQ(
        QSettings(file, QSettings::IniFormat).value(QStringLiteral("Settings/HowMany")).toString(),
        QStringLiteral("1"));
}
