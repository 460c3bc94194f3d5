#include "services/UpdateCheckController.h"

#include <QSettings>

UpdateCheckController::UpdateCheckController(CheckConfig config, QObject* parent)
    : QObject(parent), m_config(std::move(config)), m_state(std::make_shared<CheckState>()) {}

UpdateCheckController::~UpdateCheckController() {
    m_worker.request_stop();
    if (m_worker.joinable())
        m_worker.join();
}

void UpdateCheckController::start() {
    if (m_started)
        return;
    m_started = true;
    try {
        m_worker = std::jthread(
            [this, checker = TChecker(m_config, m_state)](std::stop_token stop) mutable {
                checker.Execute(stop);
                if (stop.stop_requested())
                    return; // the controller is going; nobody waits for the news
                QMetaObject::invokeMethod(
                    this, [this] { workerDone(); }, Qt::QueuedConnection);
            });
    } catch (...) {
        // Without a thread there is no check this run; the switch stays disabled.
    }
}

void UpdateCheckController::workerDone() {
    m_worker.join();
    // A check that broke off (an error outside the request steps) did not
    // finish: the switch stays disabled and no notice is shown.
    if (m_finished || !m_state->CheckDone.load(std::memory_order_acquire))
        return;
    m_finished = true;
    m_notificationsOn = m_state->ShowUpdate != 0;
    emit checkFinished(Outcome{m_notificationsOn, m_state->NewVersionAvailable});
}

void UpdateCheckController::setNotificationsEnabled(bool enabled) {
    if (!m_finished || !m_state->CheckSettings) {
        return;
    }
    m_notificationsOn = enabled;
    m_state->CheckSettings->setValue(QStringLiteral("Settings/ShowUpdate"),
                                     enabled ? QStringLiteral("1") : QStringLiteral("0"));
    m_state->CheckSettings->sync();
}

QString UpdateCheckController::serverVersion() const {
    return m_finished ? m_state->ServerVersion : QString();
}

QString UpdateCheckController::downloadUrl() const {
    return m_finished ? m_state->DownloadUrl : QString();
}

bool UpdateCheckController::downloadUrlFromHttps() const {
    return m_finished && m_state->DownloadUrlFromHttps;
}

QString UpdateCheckController::checkErrors() const {
    return m_finished ? m_state->CheckErrors : QString();
}
