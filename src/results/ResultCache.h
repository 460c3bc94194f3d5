#pragma once

#include "analysis/SourceAssessment.h"
#include "results/FileStamp.h"

#include <QString>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

struct sqlite3;
struct sqlite3_stmt;

// Analysis results kept between runs, in an SQLite database: a file whose
// canonical path, size, modification time and analysis version are unchanged
// gets its stored result instead of being decoded again.
//
// Several processes may use one database at once (write-ahead log, waits for
// a busy database). Nothing here is ever fatal: a damaged database is moved
// aside and started anew, one that cannot be written is left alone and
// results are simply not kept, each with one warning. A stored result that
// does not read back whole and unaltered is treated as absent.
// Safe to call from several threads.
class ResultCache {
public:
    using WarningSink = std::function<void(const QString& message)>;

    // `analysisVersion` is part of every key (AnalysisVersionText() in the
    // programs); `warn` receives the warnings (default: qWarning).
    ResultCache(const QString& databasePath, const QString& analysisVersion, WarningSink warn = {});
    ~ResultCache();
    ResultCache(const ResultCache&) = delete;
    ResultCache& operator=(const ResultCache&) = delete;

    // The user's cache folder: $XDG_CACHE_HOME/korvane/results.sqlite.
    static QString DefaultPath();

    const QString& path() const { return m_path; }
    // False once the database could not be opened or written: every lookup
    // then misses and nothing is stored.
    bool isActive() const;

    std::optional<QualityAndSource> lookup(const FileStamp& stamp);
    void store(const FileStamp& stamp, const QualityAndSource& report);
    // Forgets every stored result (of every analysis version); false when the
    // database could not be emptied.
    bool clear();
    // The number of stored results; -1 when inactive.
    qint64 size();

private:
    struct Connection;

    bool openLocked();
    void handleFailureLocked(int code, const char* during);
    void disableLocked(const QString& why);

    const QString m_path;
    const qint64 m_versionKey;
    WarningSink m_warn;
    std::mutex m_mutex;
    std::unique_ptr<Connection> m_db;
    bool m_rebuilt = false;
};
