#pragma once

#include "services/FormPost.h"

#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <stop_token>

class QSettings;
class QThread;

// What the worker leaves for the GUI thread. The worker writes everything
// before CheckDone (release); the GUI thread reads nothing before it has seen
// CheckDone (acquire). No lock is needed.
struct CheckState {
    std::atomic<bool> CheckDone{false};
    bool NewVersionAvailable = false;
    // ShowUpdate as this check read it (1 when it could not be read).
    int ShowUpdate = 1;
    QString ServerVersion;
    QString DownloadUrl;
    // Whether the answer that named DownloadUrl came over https, this time
    // or, for an address loaded from the store, when it was stored.
    bool DownloadUrlFromHttps = false;
    bool CheckFailed = false;
    // Kept for diagnosis only; no window shows them.
    QString CheckErrors;
    // The per-user store ("Settings" section) opened by the worker and handed
    // to the creating thread when the check is done, for the menu switch.
    std::unique_ptr<QSettings> CheckSettings;
    // The thread that created the state: the GUI thread.
    QThread* const OwnerThread;

    CheckState();
    ~CheckState();
};

// Records `message` unless it is blank: sets CheckFailed and appends the
// message to CheckErrors, two carriage returns apart.
void RecordCheckError(CheckState& state, const QString& message);
void ClearCheckErrors(CheckState& state);

struct CheckConfig {
    QString AppTitle;   // "appname=" of the request
    QString AppVersion; // "major.minor" of the running program
    // Where the per-user store lives: an INI file when SettingsFile is set,
    // else the platform's store for the organisation and application names.
    QString SettingsFile;
    QString StoreOrganization;
    QString StoreApplication;
    // Full addresses of the two attempts; empty means "https://" and
    // "http://" in front of UpdateServerAddress().
    QString SecureUrl;
    QString PlainUrl;
    PostOptions Post = UpdateCheckPostOptions();
    // Today's date as stored in LastUpdateCheck; empty means the user's short
    // date format.
    std::function<QString()> TodayText;
};

// The vendor host followed by "/php/check2.php", without a scheme.
QString UpdateServerAddress();

// Today in the user's short date format: the daily contact count restarts
// whenever this text changes.
QString TodayShortDate();

// The start value of the keystream that disguises CurrentURL in the store.
inline constexpr std::uint16_t kCurrentUrlKey = 0x4B56;

// The update check: counts starts, contacts the vendor server at most five
// times a day, remembers its answer and decides whether to announce it.
class TChecker {
public:
    TChecker(CheckConfig config, std::shared_ptr<CheckState> state);

    // CheckDone cleared, then CheckNow. Never throws. The caller owns the
    // thread it runs on (UpdateCheckController).
    void Execute(std::stop_token stop = {});
    // Once `stop` is requested the request under way is abandoned and its
    // answer, if any, is not evaluated; the store is still written and handed
    // over, so nothing of the check is left half done when the thread ends.
    void CheckNow(std::stop_token stop = {});

private:
    void Evaluate(const QString& answer, bool overHttps, int dayCount);

    CheckConfig m_config;
    std::shared_ptr<CheckState> m_state;
};
