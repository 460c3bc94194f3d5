// The main window's update check against the reference vendor server: the
// timer starts it, the switch waits for it, and a newer version is announced.
#include "../services/VendorServerProcess.h"
#include "AppFormFixture.h"
#include "services/NewVersionNotice.h"
#include "services/UpdateCheck.h"

#include <QAction>
#include <QLabel>
#include <QSettings>
#include <QTest>

using vendortest::ServerOptions;
using vendortest::VendorServerProcess;

namespace {

class UpdateCheckWiring : public AppFormTest {
protected:
    QTemporaryDir store;

    void pointAt(const VendorServerProcess& server) {
        environment.CheckForUpdates = true;
        const QString settings = store.filePath(QStringLiteral("update.ini"));
        const QString plain = server.HttpUrl(QStringLiteral("/php/check2.php"));
        // Nothing listens for https: the check falls back to plain http.
        const QString secure =
            QStringLiteral("https://127.0.0.1:%1/php/check2.php").arg(vendortest::ClosedPort());
        environment.AdjustUpdateCheck = [settings, secure, plain](TCheckConfig& config) {
            config.SettingsFile = settings;
            config.SecureUrl = secure;
            config.PlainUrl = plain;
        };
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
