#include "LoadRun.h"

#include "ServerProcess.h"
#include "services/FormPost.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <sqlite3.h>
#include <thread>
#include <unordered_map>

namespace {

using Clock = std::chrono::steady_clock;

const QString kOfferedUrl = QStringLiteral("https://downloads.example.org/korvane-2.0.tar.xz");

// What all clients share with the run's coordinator.
struct Shared {
    std::atomic<int> Port{0};
    std::atomic<bool> Steady{true}; // false from the kill on
};

struct SentRequest {
    std::string Token;
    std::size_t Fingerprint;
    bool Acknowledged;
};

struct ClientLog {
    std::vector<SentRequest> Sent;
    std::vector<double> LatenciesMs; // steady phase, acknowledged requests
    long Acknowledged = 0;
    long Busy = 0;   // steady phase only
    long Failed = 0; // steady phase only
    long AcknowledgedAfterKill = 0;
};

// Fields as the server stores them, name and value, in order; one number
// that changes with any byte of them.
std::size_t Fingerprint(const std::vector<std::pair<std::string, std::string>>& fields) {
    std::string whole;
    for (const auto& [name, value] : fields) {
        whole += name;
        whole += '\x1f';
        whole += value;
        whole += '\x1e';
    }
    return std::hash<std::string>{}(whole);
}

std::vector<std::pair<std::string, std::string>> Split(const QStringList& fields) {
    std::vector<std::pair<std::string, std::string>> pairs;
    for (const QString& field : fields) {
        const qsizetype equals = field.indexOf(QLatin1Char('='));
        pairs.emplace_back(field.left(equals).toStdString(), field.mid(equals + 1).toStdString());
    }
    return pairs;
}

// Messages a person could write in the feedback form: several scripts, from
// a line to the form's 10,000 characters.
QString FeedbackText(unsigned n) {
    static const QString scripts[] = {
        QStringLiteral("Grüße aus Köln, der Klang ist klar. "),
        QStringLiteral("Привет! Звук отличный, спасибо. "),
        QStringLiteral("音質がとても良いです。ありがとう。"),
        QStringLiteral("🎧🎶👍 "),
    };
    static const int lengths[] = {40, 900, 1400, 3000, 10000};
    const QString& script = scripts[n % 4];
    const int length = lengths[(n / 4) % 5];
    QString text;
    while (text.size() < length) {
        text += script;
    }
    text.truncate(length);
    if (text.back().isHighSurrogate()) {
        text.chop(1);
    }
    return text;
}

QStringList HonestFields(bool feedback, const QString& token, unsigned sequence) {
    const QStringList common{
        feedback ? QStringLiteral("cmd=feedback") : QStringLiteral("cmd=check"),
        QStringLiteral("appname=QUIBLEX - Korvane"), QStringLiteral("version=1.0")};
    if (feedback) {
        return common + QStringList{QStringLiteral("feedback=") + token + QLatin1Char('\r') +
                                        FeedbackText(sequence),
                                    QStringLiteral("email=load.test+%1@example.org").arg(sequence)};
    }
    return common + QStringList{QStringLiteral("os=Debian GNU/Linux 12 (bookworm) (Version 6.1, "
                                               "Build 0, 64-bit Edition)"),
                                QStringLiteral("local=de-DE"), QStringLiteral("guid=") + token,
                                QStringLiteral("howmany=%1").arg(sequence)};
}

void HonestClient(int id, const LoadPlan& plan, const Shared& shared, ClientLog& log,
                  std::stop_token stop) {
    PostOptions options;
    options.ConnectTimeoutMs = 3000;
    options.ResponseTimeoutMs = 15000;
    for (unsigned sequence = 0; !stop.stop_requested(); ++sequence) {
        const bool feedback = plan.FeedbackEvery > 0 &&
                              sequence % plan.FeedbackEvery == unsigned(plan.FeedbackEvery - 1);
        const QString token = QStringLiteral("L%1-%2").arg(id).arg(sequence);
        const QStringList fields = HonestFields(feedback, token, sequence);
        const QString url = QStringLiteral("http://127.0.0.1:%1%2")
                                .arg(shared.Port.load())
                                .arg(feedback ? QStringLiteral("/php/feedback.php")
                                              : QStringLiteral("/php/check2.php"));
        const bool steady = shared.Steady.load();
        const Clock::time_point start = Clock::now();
        bool acknowledged = false;
        bool busy = false;
        try {
            const QString body = PostForm(url, fields, options);
            acknowledged = feedback ? body.trimmed() == QStringLiteral("OK")
                                    : body.startsWith(QStringLiteral("<version>2.0</version>"));
        } catch (const PostFormError& error) {
            busy = std::string(error.what()).find("503") != std::string::npos;
            // A server that is down refuses at once; do not spin on it.
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        // From the kill on, failures are expected and latencies are not the server's.
        if (steady && shared.Steady.load()) {
            if (acknowledged) {
                ++log.Acknowledged;
                log.LatenciesMs.push_back(ms);
            } else {
                ++(busy ? log.Busy : log.Failed);
            }
        } else if (acknowledged) {
            ++log.AcknowledgedAfterKill;
        }
        log.Sent.push_back({token.toStdString(), Fingerprint(Split(fields)), acknowledged});
    }
}

void HostileClient(HostileKind kind, unsigned seed, const LoadPlan& plan, const Shared& shared,
                   HostileTally& tally, std::stop_token stop) {
    for (unsigned variant = seed; !stop.stop_requested(); variant += 7) {
        const AttackOutcome outcome =
            Attack(kind, shared.Port.load(), plan.OfferBytes, stop, variant);
        if (stop.stop_requested() && outcome.Result == "no answer") {
            break; // cut short by the end of the run, not by the server
        }
        ++tally.Attacks;
        ++tally.Results[outcome.Result];
        tally.MostBytesSent = std::max(tally.MostBytesSent, outcome.BytesSent);
        tally.LongestSeconds = std::max(tally.LongestSeconds, outcome.Seconds);
        if (outcome.Result == "refused") {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
}

double Percentile(std::vector<double>& sorted, double fraction) {
    if (sorted.empty()) {
        return 0;
    }
    const auto index =
        static_cast<std::size_t>(fraction * static_cast<double>(sorted.size() - 1) + 0.5);
    return sorted[std::min(index, sorted.size() - 1)];
}

// Every stored request's token (the update check's guid, the feedback's
// first line) with the fingerprint of its fields.
std::unordered_map<std::string, std::vector<std::size_t>> StoredRequests(const QString& dbFile,
                                                                         long& strays) {
    std::unordered_map<std::string, std::vector<std::size_t>> stored;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(dbFile.toLocal8Bit().constData(), &db, SQLITE_OPEN_READONLY, nullptr) !=
        SQLITE_OK) {
        sqlite3_close(db);
        return stored;
    }
    sqlite3_stmt* statement = nullptr;
    const char* sql = "SELECT r.id, f.name, f.value FROM requests r "
                      "LEFT JOIN request_fields f ON f.request_id = r.id ORDER BY r.id, f.position";
    std::vector<std::pair<std::string, std::string>> fields;
    long long current = -1;
    const auto finish = [&] {
        if (current < 0) {
            return;
        }
        std::string token;
        for (const auto& [name, value] : fields) {
            if (name == "guid" || name == "feedback") {
                token = value.substr(0, value.find('\r'));
            }
        }
        if (token.empty()) {
            ++strays;
        } else {
            stored[token].push_back(Fingerprint(fields));
        }
        fields.clear();
    };
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK) {
        while (sqlite3_step(statement) == SQLITE_ROW) {
            const long long id = sqlite3_column_int64(statement, 0);
            if (id != current) {
                finish();
                current = id;
            }
            if (sqlite3_column_type(statement, 1) != SQLITE_NULL) {
                const auto text = [statement](int column) {
                    const auto* bytes =
                        static_cast<const char*>(sqlite3_column_blob(statement, column));
                    return std::string(
                        bytes ? bytes : "",
                        static_cast<std::size_t>(sqlite3_column_bytes(statement, column)));
                };
                fields.emplace_back(text(1), text(2));
            }
        }
        finish();
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return stored;
}

void Verify(const QString& dbFile, const std::vector<ClientLog>& logs, LoadReport& report) {
    std::unordered_map<std::string, std::vector<std::size_t>> stored =
        StoredRequests(dbFile, report.Strays);
    for (const ClientLog& log : logs) {
        for (const SentRequest& sent : log.Sent) {
            ++report.Sent;
            report.AcknowledgedTotal += sent.Acknowledged ? 1 : 0;
            const auto found = stored.find(sent.Token);
            const std::size_t copies = found == stored.end() ? 0 : found->second.size();
            if (copies > 1) {
                ++report.Doubled;
            } else if (copies == 1 && found->second.front() != sent.Fingerprint) {
                ++report.Altered;
            } else if (copies == 1) {
                ++(sent.Acknowledged ? report.StoredOnce : report.StoredUnacknowledged);
            } else if (sent.Acknowledged) {
                ++report.Lost;
            }
            if (found != stored.end()) {
                stored.erase(found);
            }
        }
    }
    for (const auto& [token, copies] : stored) {
        report.Strays += static_cast<long>(copies.size());
    }
}

// Sleeps `seconds` while keeping the server's memory peak.
void Watch(const ServerProcess& server, double seconds, long& peakKb) {
    const Clock::time_point until = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                       std::chrono::duration<double>(seconds));
    while (Clock::now() < until) {
        peakKb = std::max(peakKb, server.PeakResidentKb());
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    peakKb = std::max(peakKb, server.PeakResidentKb());
}

} // namespace

LoadReport RunLoad(const LoadPlan& plan) {
    LoadReport report;
    PrepareAttacks();
    QDir().mkpath(plan.WorkFolder);
    const QString dbFile = QDir(plan.WorkFolder).filePath(QStringLiteral("vendor.sqlite"));
    for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")}) {
        QFile::remove(dbFile + suffix);
    }
    ServerProcess server(plan.ServerProgram,
                         QStringList{QStringLiteral("--version"), QStringLiteral("2.0"),
                                     QStringLiteral("--url"), kOfferedUrl, QStringLiteral("--db"),
                                     dbFile} +
                             plan.ServerArguments,
                         QDir(plan.WorkFolder).filePath(QStringLiteral("server.log")));
    if (!server.Start(0)) {
        return report;
    }
    report.Started = true;
    report.BaselineRssKb = server.ResidentKb();
    const double cpuBefore = server.CpuSeconds();

    Shared shared;
    shared.Port = server.Port();
    std::vector<ClientLog> logs(static_cast<std::size_t>(plan.HonestClients));
    std::vector<std::pair<HostileKind, HostileTally>> tallies;
    for (const auto& [kind, count] : plan.Hostile) {
        for (int i = 0; i < count; ++i) {
            tallies.emplace_back(kind, HostileTally{});
        }
    }
    {
        std::vector<std::jthread> clients;
        for (int i = 0; i < plan.HonestClients; ++i) {
            clients.emplace_back([i, &plan, &shared, &logs](std::stop_token stop) {
                HonestClient(i, plan, shared, logs[static_cast<std::size_t>(i)], stop);
            });
        }
        for (std::size_t i = 0; i < tallies.size(); ++i) {
            clients.emplace_back([i, &plan, &shared, &tallies](std::stop_token stop) {
                HostileClient(tallies[i].first, static_cast<unsigned>(i), plan, shared,
                              tallies[i].second, stop);
            });
        }

        const Clock::time_point start = Clock::now();
        Watch(server, plan.SteadySeconds, report.PeakRssKb);
        report.Seconds = std::chrono::duration<double>(Clock::now() - start).count();
        report.ServerCpuSeconds = server.CpuSeconds() - cpuBefore;
        shared.Steady = false;

        if (plan.AfterKillSeconds > 0) {
            server.Kill();
            report.Killed = true;
            // Same port, so the clients carry on; the kernel frees it with the process.
            for (int attempt = 0; attempt < 50 && !report.Restarted; ++attempt) {
                report.Restarted = server.Start(shared.Port.load());
                if (!report.Restarted) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
                }
            }
            if (report.Restarted) {
                Watch(server, plan.AfterKillSeconds, report.PeakRssKb);
            }
        }
        for (std::jthread& client : clients) {
            client.request_stop();
        }
    }
    report.StoppedCleanly = server.Stop();

    std::vector<double> latencies;
    for (const ClientLog& log : logs) {
        report.Acknowledged += log.Acknowledged;
        report.Busy += log.Busy;
        report.Failed += log.Failed;
        report.AcknowledgedAfterRestart += log.AcknowledgedAfterKill;
        latencies.insert(latencies.end(), log.LatenciesMs.begin(), log.LatenciesMs.end());
    }
    std::sort(latencies.begin(), latencies.end());
    report.RequestsPerSecond =
        report.Seconds > 0 ? static_cast<double>(report.Acknowledged) / report.Seconds : 0;
    report.LatencyP50Ms = Percentile(latencies, 0.50);
    report.LatencyP99Ms = Percentile(latencies, 0.99);
    report.LatencyMaxMs = latencies.empty() ? 0 : latencies.back();
    for (const auto& [kind, tally] : tallies) {
        HostileTally& total = report.Hostile[kind];
        total.Attacks += tally.Attacks;
        for (const auto& [result, count] : tally.Results) {
            total.Results[result] += count;
        }
        total.MostBytesSent = std::max(total.MostBytesSent, tally.MostBytesSent);
        total.LongestSeconds = std::max(total.LongestSeconds, tally.LongestSeconds);
    }
    Verify(dbFile, logs, report);
    return report;
}

QString FormatReport(const LoadPlan& plan, const LoadReport& report) {
    if (!report.Started) {
        return QStringLiteral("the server did not start\n");
    }
    int hostile = 0;
    for (const auto& [kind, count] : plan.Hostile) {
        hostile += count;
    }
    QString text;
    const auto row = [&text](const QString& measure, const QString& figure) {
        text += QStringLiteral("| %1 | %2 |\n").arg(measure.leftJustified(44), figure);
    };
    text += QStringLiteral("korvane-vendor-server on loopback: %1 honest clients (every %2th a "
                           "feedback), %3 hostile beside them, %4 s steady, then SIGKILL, restart "
                           "on the same database and %5 s more\n")
                .arg(plan.HonestClients)
                .arg(plan.FeedbackEvery)
                .arg(hostile)
                .arg(plan.SteadySeconds)
                .arg(plan.AfterKillSeconds);
    text += QStringLiteral("| measure | figure |\n|---|---|\n");
    row(QStringLiteral("acknowledged requests/s held (steady)"),
        QString::number(report.RequestsPerSecond, 'f', 1));
    row(QStringLiteral("latency p50 / p99 / max, ms"), QStringLiteral("%1 / %2 / %3")
                                                           .arg(report.LatencyP50Ms, 0, 'f', 1)
                                                           .arg(report.LatencyP99Ms, 0, 'f', 1)
                                                           .arg(report.LatencyMaxMs, 0, 'f', 1));
    row(QStringLiteral("refused busy (503) / failed otherwise"),
        QStringLiteral("%1 / %2").arg(report.Busy).arg(report.Failed));
    row(QStringLiteral("server RSS before load / peak, KiB"),
        QStringLiteral("%1 / %2").arg(report.BaselineRssKb).arg(report.PeakRssKb));
    row(QStringLiteral("server CPU s during the steady phase"),
        QString::number(report.ServerCpuSeconds, 'f', 2));
    row(QStringLiteral("killed / restarted / acknowledged around it"),
        QStringLiteral("%1 / %2 / %3")
            .arg(report.Killed ? QStringLiteral("yes") : QStringLiteral("no"))
            .arg(report.Restarted ? QStringLiteral("yes") : QStringLiteral("no"))
            .arg(report.AcknowledgedAfterRestart));
    row(QStringLiteral("sent / acknowledged"),
        QStringLiteral("%1 / %2").arg(report.Sent).arg(report.AcknowledgedTotal));
    row(QStringLiteral("acknowledged and stored exactly once"), QString::number(report.StoredOnce));
    row(QStringLiteral("lost / doubled / altered / strays"), QStringLiteral("%1 / %2 / %3 / %4")
                                                                 .arg(report.Lost)
                                                                 .arg(report.Doubled)
                                                                 .arg(report.Altered)
                                                                 .arg(report.Strays));
    row(QStringLiteral("stored, answer lost in the kill"),
        QString::number(report.StoredUnacknowledged));
    for (const auto& [kind, tally] : report.Hostile) {
        QStringList results;
        for (const auto& [result, count] : tally.Results) {
            results << QStringLiteral("%1×%2").arg(QString::fromStdString(result)).arg(count);
        }
        row(QStringLiteral("hostile %1: attacks, answers")
                .arg(QString::fromLatin1(HostileName(kind))),
            QStringLiteral("%1: %2; most bytes sent %3, longest %4 s")
                .arg(tally.Attacks)
                .arg(results.join(QStringLiteral(", ")))
                .arg(tally.MostBytesSent)
                .arg(tally.LongestSeconds, 0, 'f', 1));
    }
    return text;
}
