#include "services/UpdateCheck.h"

#include "common/Trim.h"
#include "platform/SystemInfo.h"
#include "services/TextScramble.h"
#include "services/WebHelpers.h"

#include <QDate>
#include <QLocale>
#include <QRegularExpression>
#include <QSettings>
#include <QStringList>
#include <QThread>
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cxxabi.h>
#include <typeinfo>

namespace {

const QString kLastUpdateCheck = QStringLiteral("Settings/LastUpdateCheck");
const QString kLastUpdateCheckCount = QStringLiteral("Settings/LastUpdateCheckCount");
const QString kInstalledVersion = QStringLiteral("Settings/InstalledVersion");
const QString kHowMany = QStringLiteral("Settings/HowMany");
const QString kCurrentVersion = QStringLiteral("Settings/CurrentVersion");
const QString kCurrentUrl = QStringLiteral("Settings/CurrentURL");
// "1" when CurrentURL came in an answer over https: an address from a plain
// answer stays untrusted on later starts too, and so does one stored before
// this value existed.
const QString kCurrentUrlOverHttps = QStringLiteral("Settings/CurrentURLOverHttps");
const QString kShowUpdate = QStringLiteral("Settings/ShowUpdate");

// Every value is kept as text; numbers are parsed back with a default.
QString ReadText(const QSettings* store, const QString& key) {
    return store ? store->value(key).toString() : QString();
}

int ReadNumber(const QSettings* store, const QString& key, int fallback) {
    bool ok = false;
    const int value = ReadText(store, key).toInt(&ok);
    return ok ? value : fallback;
}

void WriteText(QSettings* store, const QString& key, const QString& value) {
    if (store) {
        store->setValue(key, value);
    }
}

std::unique_ptr<QSettings> OpenStore(const CheckConfig& config) {
    if (!config.SettingsFile.isEmpty()) {
        return std::make_unique<QSettings>(config.SettingsFile, QSettings::IniFormat);
    }
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       config.StoreOrganization, config.StoreApplication);
}

// Lines split at CR, LF or CR LF; a final line break ends the last line
// rather than starting an empty one.
QStringList SplitLines(const QString& text) {
    static const QRegularExpression breaks(QStringLiteral("\r\n|\r|\n"));
    QStringList lines = text.split(breaks);
    if (!lines.isEmpty() && lines.last().isEmpty()) {
        lines.removeLast();
    }
    return lines;
}

QString TypeName(const std::exception& error) {
    int status = 0;
    std::unique_ptr<char, decltype(&std::free)> readable(
        abi::__cxa_demangle(typeid(error).name(), nullptr, nullptr, &status), &std::free);
    return QString::fromLatin1(status == 0 && readable ? readable.get() : typeid(error).name());
}

// Leaves the request steps when the check is stopped; not a failure, so it is
// no std::exception that the steps would record.
struct CheckStopped {};

QString Message(const std::exception& error) {
    return QString::fromUtf8(error.what());
}

} // namespace

CheckState::CheckState() : OwnerThread(QThread::currentThread()) {}

CheckState::~CheckState() = default;

void RecordCheckError(CheckState& state, const QString& message) {
    if (TrimControl(message).isEmpty()) {
        return;
    }
    state.CheckFailed = true;
    if (!state.CheckErrors.isEmpty()) {
        state.CheckErrors += QStringLiteral("\r\r");
    }
    state.CheckErrors += message;
}

void ClearCheckErrors(CheckState& state) {
    state.CheckFailed = false;
    state.CheckErrors.clear();
}

QString UpdateServerAddress() {
    return VendorHost() + QStringLiteral("/php/check2.php");
}

QString TodayShortDate() {
    return QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat);
}

TChecker::TChecker(CheckConfig config, std::shared_ptr<CheckState> state)
    : m_config(std::move(config)), m_state(std::move(state)) {}

void TChecker::Execute(std::stop_token stop) {
    m_state->CheckDone.store(false, std::memory_order_release);
    try {
        CheckNow(std::move(stop));
    } catch (...) {
        // Nothing may leave the thread; a check that broke off stays not done.
    }
}

void TChecker::CheckNow(std::stop_token stop) {
    CheckState& s = *m_state;
    ClearCheckErrors(s);

    QString guid;
    try {
        guid = ReadMachineGuid();
    } catch (...) {
        RecordCheckError(s, QStringLiteral("Error: GUID generate problem!"));
    }

    // An unreadable store is noted, and the check goes on with what it holds
    // in memory.
    s.CheckSettings = OpenStore(m_config);
    if (s.CheckSettings->status() != QSettings::NoError) {
        RecordCheckError(s, QStringLiteral("Error: Registry open problem!"));
    }
    QSettings* store = s.CheckSettings.get();

    const QString storedDay = ReadText(store, kLastUpdateCheck);
    const int storedCount = std::max(ReadNumber(store, kLastUpdateCheckCount, 0), 0);
    const QString installedVersion = ReadText(store, kInstalledVersion);

    int howMany = ReadNumber(store, kHowMany, 0);
    if (howMany < 0 || installedVersion != m_config.AppVersion) {
        howMany = 0;
    }
    if (howMany < INT_MAX) {
        ++howMany;
    }
    WriteText(store, kHowMany, QString::number(howMany));
    WriteText(store, kInstalledVersion, m_config.AppVersion);

    const QString storedUrl = ReadText(store, kCurrentUrl);
    if (!storedUrl.isEmpty()) {
        s.DownloadUrl = UnscrambleText(storedUrl, kCurrentUrlKey);
        s.DownloadUrlFromHttps = ReadText(store, kCurrentUrlOverHttps) == QStringLiteral("1");
    }
    s.ShowUpdate = ReadNumber(store, kShowUpdate, 1);

    const QString today = m_config.TodayText ? m_config.TodayText() : TodayShortDate();
    const bool allowed = s.ShowUpdate != 0 && !(storedDay == today && storedCount >= 5);
    if (allowed) {
        const int dayCount = storedDay == today ? storedCount + 1 : 1;
        WriteText(store, kLastUpdateCheck, today);
        WriteText(store, kLastUpdateCheckCount, QString::number(dayCount));
        try {
            QStringList fields{QStringLiteral("cmd=check"),
                               QStringLiteral("appname=") + m_config.AppTitle,
                               QStringLiteral("version=") + m_config.AppVersion,
                               QStringLiteral("os=") + OsDescription()};
            try {
                fields << QStringLiteral("local=") + UserLocaleName();
            } catch (...) {
                RecordCheckError(s, QStringLiteral("Error: LocaleName2 problem!"));
            }
            fields << QStringLiteral("guid=") + guid;
            try {
                fields << QStringLiteral("howmany=") + QString::number(howMany);
            } catch (...) {
                RecordCheckError(s, QStringLiteral("Error: HM variable problem!"));
            }

            const QString secureUrl = m_config.SecureUrl.isEmpty()
                                          ? QStringLiteral("https://") + UpdateServerAddress()
                                          : m_config.SecureUrl;
            const QString plainUrl = m_config.PlainUrl.isEmpty()
                                         ? QStringLiteral("http://") + UpdateServerAddress()
                                         : m_config.PlainUrl;
            QString answer;
            // Which transport carried the answer: PostForm decides by the same test.
            const auto overHttps = [](const QString& url) {
                return url.toLower().startsWith(QStringLiteral("https://"));
            };
            bool answerOverHttps = false;
            try {
                answer = PostForm(secureUrl, fields, m_config.Post, stop);
                answerOverHttps = overHttps(secureUrl);
            } catch (const std::exception& secureError) {
                if (stop.stop_requested())
                    throw CheckStopped();
                RecordCheckError(s, QStringLiteral("HTTPS Response:\r") + Message(secureError));
                try {
                    answer = PostForm(plainUrl, fields, m_config.Post, stop);
                    answerOverHttps = overHttps(plainUrl);
                    // The plain answer stands; what went wrong before it does not count.
                    ClearCheckErrors(s);
                } catch (const std::exception& plainError) {
                    if (stop.stop_requested())
                        throw CheckStopped();
                    RecordCheckError(s, QStringLiteral("HTTP Response:\r") + Message(plainError));
                }
            }
            Evaluate(answer, answerOverHttps, dayCount);
        } catch (const CheckStopped&) {
            // The program is ending: no answer is wanted any more.
        } catch (const std::exception& error) {
            RecordCheckError(s, TypeName(error) + QStringLiteral(" Error:\r") + Message(error));
        } catch (...) {
            RecordCheckError(s, QStringLiteral("Unknown Error:\rno message"));
        }
    }

    // Written now, so that the switch and the counters survive a crash; then
    // the store belongs to the GUI thread.
    store->sync();
    store->moveToThread(s.OwnerThread);
    s.CheckDone.store(true, std::memory_order_release);
}

void TChecker::Evaluate(const QString& answer, bool overHttps, int dayCount) {
    CheckState& s = *m_state;
    QSettings* store = s.CheckSettings.get();
    const QStringList lines = SplitLines(answer);
    if (lines.join(QStringLiteral("\r\n")).startsWith(QStringLiteral("ERROR"))) {
        RecordCheckError(s, QStringLiteral("INVALIDSERVERRESPONSE"));
    }
    if (s.CheckFailed) {
        return;
    }
    // A missing line leaves its stored value as it was.
    if (!lines.isEmpty()) {
        s.ServerVersion = ExtractTagValue(lines.at(0), QStringLiteral("version"));
        WriteText(store, kCurrentVersion, s.ServerVersion);
    }
    if (lines.size() >= 2) {
        s.DownloadUrl = ExtractTagValue(lines.at(1), QStringLiteral("url"));
        s.DownloadUrlFromHttps = overHttps;
        WriteText(store, kCurrentUrl, ScrambleText(s.DownloadUrl, kCurrentUrlKey));
        WriteText(store, kCurrentUrlOverHttps,
                  overHttps ? QStringLiteral("1") : QStringLiteral("0"));
    }

    // An answer without its address line is incomplete: announcing it would
    // send the user to an address from an older answer.
    if (lines.size() < 2 || s.ServerVersion == m_config.AppVersion) {
        return;
    }
    // Any other version counts, a lower one too, as long as it is a number.
    QString digits = s.ServerVersion;
    digits.remove(QLatin1Char('.'));
    bool isNumber = false;
    digits.toInt(&isNumber, 10);
    if (isNumber && s.ShowUpdate == 1 && dayCount <= 3) {
        s.NewVersionAvailable = true;
    }
}
