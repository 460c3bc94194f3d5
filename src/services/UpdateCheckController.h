#pragma once

#include "services/UpdateCheck.h"

#include <QObject>
#include <memory>
#include <thread>

// The main window's side of the update check: the worker it starts on the
// first tick of its 1000 ms timer, and the "Update Notifications" switch.
// GUI thread only. The worker is owned here: destroying the controller
// abandons a request under way and waits for the worker, which is then out
// of the network code and done with the settings store.
class UpdateCheckController : public QObject {
    Q_OBJECT
public:
    explicit UpdateCheckController(CheckConfig config, QObject* parent = nullptr);
    ~UpdateCheckController() override;

    struct Outcome {
        // The switch's tick: off only when the check read "0".
        bool NotificationsOn = true;
        // Open the new-version notice (serverVersion(), downloadUrl()).
        bool ShowNotice = false;
    };

    // Starts the worker, once; `finished` follows on this thread when it is done.
    void start();

    bool started() const { return m_started; }
    bool finished() const { return m_finished; }

    // The switch as the user sees it; its change is stored at once and
    // counts from the next start. Ignored until the check is done.
    bool notificationsEnabled() const { return m_notificationsOn; }
    void setNotificationsEnabled(bool enabled);

    // The check's results; empty until it is finished.
    QString serverVersion() const;
    QString downloadUrl() const;
    // Whether the answer that named downloadUrl() came over https.
    bool downloadUrlFromHttps() const;
    QString checkErrors() const;

signals:
    // Once per run, when the check is done: stop the timer, enable the switch.
    void checkFinished(const UpdateCheckController::Outcome& outcome);

private:
    void workerDone();

    CheckConfig m_config;
    std::shared_ptr<CheckState> m_state;
    std::jthread m_worker;
    bool m_started = false;
    bool m_finished = false;
    bool m_notificationsOn = true;
};
