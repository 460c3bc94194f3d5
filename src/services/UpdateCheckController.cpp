#include "services/UpdateCheckController.h"

#include <QSettings>

UpdateCheckController::UpdateCheckController(TCheckConfig config)
    : config_(std::move(config)), state_(std::make_shared<TCheckState>()) {}

UpdateCheckController::TickResult UpdateCheckController::onTimerTick() {
    TickResult result;
    if (!CheckerStarted) {
        CheckerStarted = true;
        try {
            TChecker::Start(config_, state_);
        } catch (...) {
            // Without a thread there is no check this run; the switch stays disabled.
        }
        return result;
    }
    if (finished_ || !state_->CheckDone.load(std::memory_order_acquire)) {
        return result;
    }
    finished_ = true;
    notificationsOn_ = state_->ShowUpdate != 0;
    result.Finished = true;
    result.NotificationsOn = notificationsOn_;
    result.ShowNotice = state_->NewVersionAvailable;
    return result;
}

void UpdateCheckController::setNotificationsEnabled(bool enabled) {
    if (!finished_ || !state_->CheckSettings) {
        return;
    }
    notificationsOn_ = enabled;
    state_->CheckSettings->setValue(QStringLiteral("Settings/ShowUpdate"),
                                    enabled ? QStringLiteral("1") : QStringLiteral("0"));
    state_->CheckSettings->sync();
}

QString UpdateCheckController::serverVersion() const {
    return finished_ ? state_->ServerVersion : QString();
}

QString UpdateCheckController::downloadUrl() const {
    return finished_ ? state_->DownloadUrl : QString();
}

bool UpdateCheckController::downloadUrlFromHttps() const {
    return finished_ && state_->DownloadUrlFromHttps;
}

QString UpdateCheckController::checkErrors() const {
    return finished_ ? state_->CheckErrors : QString();
}
