// The main window's doors to the secondary windows and the update check. The
// windows themselves live with their subsystems; each handler here opens a
// new one, modally, and frees it when it closes.
#include "about/AboutBox.h"
#include "app/AppForm.h"
#include "feedback/FeedbackForm.h"
#include "services/NewVersionNotice.h"
#include "services/UpdateCheckController.h"
#include "translation/TranslateForm.h"

#include <QAction>
#include <QFileInfo>
#include <QTimer>

namespace {

// The windows open pages and files through the main window's opener; without
// one they open nothing rather than fall back to the desktop's.
UrlOpenerFunction Opener(const UrlOpenerFunction& open) {
    return open ? open : [](const QUrl&) { return false; };
}

} // namespace

void TAppForm::About1Click() {
    const AppContext& context = m_environment.Context;
    AboutBoxOptions options;
    options.ProductName = context.AppProductName;
    options.AppVersion = context.AppVersion;
    options.AppIcon = windowIcon();
    options.ExecutableFolder = QFileInfo(context.ExecutablePath).absolutePath();
    options.OpenUrl = Opener(m_environment.OpenUrl);
    TAboutBox box(options, this);
    box.exec();
}

void TAppForm::SendFeedback1Click() {
    const AppContext& context = m_environment.Context;
    FeedbackFormOptions options;
    options.ProductName = context.AppProductName;
    options.AppTitle = context.AppTitle;
    options.AppVersion = context.AppVersion;
    TFeedbackForm form(options, this);
    form.exec();
}

void TAppForm::Language1Click() {
    const AppContext& context = m_environment.Context;
    TranslateFormOptions options;
    options.SetLanguageFile = [this](const QString& fileName) { SetLanguageFile(fileName); };
    options.Language = context.Language;
    options.DataFolder = context.DataFolder;
    options.ExecutablePath = context.ExecutablePath;
    options.Restart = m_environment.Restart;
    options.OpenUrl = Opener(m_environment.OpenUrl);
    TTranslateForm dialog(options, this);
    dialog.exec();
}

// The checkable item has already toggled itself; the change counts from the next start.
void TAppForm::UpdateNotifications1Click() {
    if (m_updateCheck)
        m_updateCheck->setNotificationsEnabled(UpdateNotifications1->isChecked());
}

// The first tick starts the update check on its worker; it reports back by
// itself (updateCheckFinished), so the timer has nothing more to do.
void TAppForm::TimerCheckerTimer() {
    TimerChecker->stop();
    if (!m_environment.CheckForUpdates || m_updateCheck)
        return;
    const AppContext& context = m_environment.Context;
    CheckConfig config;
    config.AppTitle = context.AppTitle;
    config.AppVersion = context.AppVersion;
    config.StoreOrganization = context.AppCompanyName;
    config.StoreApplication = context.AppProductName;
    if (m_environment.AdjustUpdateCheck)
        m_environment.AdjustUpdateCheck(config);
    m_updateCheck = std::make_unique<UpdateCheckController>(config);
    connect(
        m_updateCheck.get(), &UpdateCheckController::checkFinished, this,
        [this](const UpdateCheckController::Outcome& outcome) { updateCheckFinished(outcome); });
    m_updateCheck->start();
}

void TAppForm::updateCheckFinished(const UpdateCheckController::Outcome& outcome) {
    UpdateNotifications1->setEnabled(true);
    if (!outcome.NotificationsOn)
        UpdateNotifications1->setChecked(false);
    if (outcome.ShowNotice) {
        NewVerOptions options;
        options.ProductName = m_environment.Context.AppProductName;
        options.ServerVersion = m_updateCheck->serverVersion();
        options.DownloadUrl = m_updateCheck->downloadUrl();
        options.DownloadUrlFromHttps = m_updateCheck->downloadUrlFromHttps();
        options.OpenUrl = m_environment.OpenUrl;
        options.Countdown = m_noticeCountdown;
        TNewVer::Open(std::move(options), this);
    }
}
