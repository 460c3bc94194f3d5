#pragma once

#include "services/UpdateCheck.h"

#include <memory>

// The main window's side of the update check: its 1000 ms timer and the
// "Update Notifications" switch. GUI thread only.
class UpdateCheckController {
public:
    explicit UpdateCheckController(TCheckConfig config);

    struct TickResult {
        // True on the one tick that finds the check done: stop the timer and
        // enable the switch.
        bool Finished = false;
        // The switch's tick once finished: off only when the check read "0".
        bool NotificationsOn = true;
        // Open the new-version notice (serverVersion(), downloadUrl()).
        bool ShowNotice = false;
    };

    // The first tick starts the worker; later ticks poll it.
    TickResult onTimerTick();

    bool started() const { return CheckerStarted; }
    bool finished() const { return finished_; }

    // The switch as the user sees it; its change is stored at once and
    // counts from the next start. Ignored until the check is done.
    bool notificationsEnabled() const { return notificationsOn_; }
    void setNotificationsEnabled(bool enabled);

    // The check's results; empty until it is finished.
    QString serverVersion() const;
    QString downloadUrl() const;
    // Whether the answer that named downloadUrl() came over https.
    bool downloadUrlFromHttps() const;
    QString checkErrors() const;

private:
    TCheckConfig config_;
    std::shared_ptr<TCheckState> state_;
    bool CheckerStarted = false;
    bool finished_ = false;
    bool notificationsOn_ = true;
};
