// The main window's doors to the secondary windows and the update check. The
// windows themselves live with their subsystems; each handler here opens one.
#include "app/AppForm.h"

#include "app/AppValues.h"
#include "services/NewVersionNotice.h"
#include "services/UpdateCheckController.h"

#include <QAction>
#include <QTimer>

void TAppForm::About1Click() {
    // Opens a new about box, modally.
}

void TAppForm::SendFeedback1Click() {
    // Opens a new feedback form, modally.
}

void TAppForm::Language1Click() {
    // Opens a new language dialog, modally (the menu item stays hidden).
}

// The checkable item has already toggled itself; the change counts from the next start.
void TAppForm::UpdateNotifications1Click() {
    if (m_updateCheck)
        m_updateCheck->setNotificationsEnabled(UpdateNotifications1->isChecked());
}

// The first tick starts the update check on its worker; later ticks poll it.
void TAppForm::TimerCheckerTimer() {
    if (!m_environment.CheckForUpdates) {
        TimerChecker->stop();
        return;
    }
    if (!m_updateCheck) {
        TCheckConfig config;
        config.AppTitle = AppTitle;
        config.AppVersion = AppVersion;
        config.StoreOrganization = AppCompanyName;
        config.StoreApplication = AppProductName;
        if (m_environment.AdjustUpdateCheck)
            m_environment.AdjustUpdateCheck(config);
        m_updateCheck = std::make_unique<UpdateCheckController>(config);
    }
    const UpdateCheckController::TickResult tick = m_updateCheck->onTimerTick();
    if (!tick.Finished)
        return;
    TimerChecker->stop();
    UpdateNotifications1->setEnabled(true);
    if (!tick.NotificationsOn)
        UpdateNotifications1->setChecked(false);
    if (tick.ShowNotice) {
        TNewVerOptions options;
        options.ProductName = AppProductName;
        options.ServerVersion = m_updateCheck->serverVersion();
        options.DownloadUrl = m_updateCheck->downloadUrl();
        options.OpenUrl = m_environment.OpenUrl;
        TNewVer::Open(std::move(options), this);
    }
}
