// The main window's doors to the secondary windows and the update check. The
// windows themselves live with their subsystems; each handler here opens a
// new one, modally, and frees it when it closes.
#include "about/AboutBox.h"
#include "app/AppForm.h"
#include "app/AppValues.h"
#include "feedback/FeedbackForm.h"
#include "translation/TranslateForm.h"

#include <QFileInfo>

namespace {

// The windows open pages and files through the main window's opener.
std::function<void(const QUrl&)> Opener(const UrlOpenerFunction& open) {
    return [open](const QUrl& url) {
        if (open)
            open(url);
    };
}

} // namespace

void TAppForm::About1Click() {
    TAboutBoxOptions options;
    options.ProductName = AppProductName;
    options.AppVersion = AppVersion;
    options.AppIcon = windowIcon();
    options.ExecutableFolder = QFileInfo(m_environment.ExecutablePath).absolutePath();
    options.OpenUrl = Opener(m_environment.OpenUrl);
    TAboutBox box(options, this);
    box.exec();
}

void TAppForm::SendFeedback1Click() {
    TFeedbackFormOptions options;
    options.ProductName = AppProductName;
    options.AppTitle = AppTitle;
    options.AppVersion = AppVersion;
    TFeedbackForm form(options, this);
    form.exec();
}

void TAppForm::Language1Click() {
    TTranslateFormOptions options;
    options.SetLanguageFile = [this](const QString& fileName) { SetLanguageFile(fileName); };
    options.DataFolder = DataFolder;
    options.ExecutablePath = m_environment.ExecutablePath;
    options.Restart = m_environment.Restart;
    options.OpenUrl = Opener(m_environment.OpenUrl);
    TTranslateForm dialog(options, this);
    dialog.exec();
}

void TAppForm::UpdateNotifications1Click() {
    // Switches update notices on or off for the next start.
}

void TAppForm::TimerCheckerTimer() {
    // Starts the update check on the first tick and polls it on later ones.
}
