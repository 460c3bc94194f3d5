#include "results/ResultCache.h"

#include "results/StoredReport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QtEndian>
#include <chrono>
#include <sqlite3.h>
#include <thread>

namespace {

// Bumped when the table's layout changes; a database of another layout is
// emptied and laid out anew (its results would be analysed again anyway).
constexpr int kSchemaVersion = 1;
// How long a statement waits for another process's write to finish.
constexpr int kBusyTimeoutMs = 5000;

struct DatabaseCloser {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct StatementFinalizer {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Database = std::unique_ptr<sqlite3, DatabaseCloser>;
using Statement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

// The first 8 bytes of a SHA-1, as a number SQLite stores in 8 bytes.
qint64 Hash64(const QByteArray& bytes) {
    const QByteArray digest = QCryptographicHash::hash(bytes, QCryptographicHash::Sha1);
    return qFromBigEndian<qint64>(digest.constData());
}

// Ties a report to its key: a row whose bytes were altered in any way, or
// whose report ended up beside another key, does not check.
qint64 RowChecksum(const QByteArray& path, qint64 size, qint64 modifiedNs, qint64 version,
                   const QByteArray& report) {
    QByteArray bytes = path;
    bytes.append('\0');
    bytes.append(QByteArray::number(size)).append('\0');
    bytes.append(QByteArray::number(modifiedNs)).append('\0');
    bytes.append(QByteArray::number(version)).append('\0');
    bytes.append(report);
    return Hash64(bytes);
}

bool IsBusy(int code) {
    const int primary = code & 0xff;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

bool IsDamage(int code) {
    const int primary = code & 0xff;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

} // namespace

struct ResultCache::Connection {
    Database Db;
    Statement Select;
    Statement Insert;
    bool Writable = true;

    Statement prepare(const char* sql, int& code) {
        sqlite3_stmt* statement = nullptr;
        code =
            sqlite3_prepare_v3(Db.get(), sql, -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr);
        return Statement(statement);
    }
    int exec(const char* sql) { return sqlite3_exec(Db.get(), sql, nullptr, nullptr, nullptr); }
};

ResultCache::ResultCache(const QString& databasePath, const QString& analysisVersion,
                         WarningSink warn)
    : m_path(databasePath), m_versionKey(Hash64(analysisVersion.toUtf8())),
      m_warn(std::move(warn)) {
    if (!m_warn)
        m_warn = [](const QString& message) { qWarning("%s", qUtf8Printable(message)); };
    std::lock_guard lock(m_mutex);
    openLocked();
}

ResultCache::~ResultCache() = default;

QString ResultCache::DefaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/korvane/results.sqlite");
}

bool ResultCache::isActive() const {
    std::lock_guard lock(const_cast<std::mutex&>(m_mutex));
    return m_db != nullptr;
}

bool ResultCache::openLocked() {
    m_db.reset();
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    auto connection = std::make_unique<Connection>();
    sqlite3* raw = nullptr;
    int code =
        sqlite3_open_v2(QFile::encodeName(m_path).constData(), &raw,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    connection->Db.reset(raw);
    if (code != SQLITE_OK) {
        disableLocked(
            QStringLiteral("cannot open it (%1)").arg(QString::fromUtf8(sqlite3_errstr(code))));
        return false;
    }
    if (sqlite3_db_readonly(raw, "main") == 1) {
        disableLocked(QStringLiteral("it cannot be written"));
        return false;
    }
    sqlite3_busy_timeout(raw, kBusyTimeoutMs);
    sqlite3_extended_result_codes(raw, 1);

    // The write-ahead log lets readers and one writer of other processes go
    // on at once; a crash loses at most the last results, never the file.
    const auto setUp = [&connection, raw] {
        int code = connection->exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;");
        if (code == SQLITE_OK)
            code = connection->exec("BEGIN IMMEDIATE");
        if (code == SQLITE_OK) {
            sqlite3_stmt* versionStatement = nullptr;
            code = sqlite3_prepare_v2(raw, "PRAGMA user_version", -1, &versionStatement, nullptr);
            const Statement version(versionStatement);
            int schema = 0;
            if (code == SQLITE_OK) {
                code = sqlite3_step(version.get());
                if (code == SQLITE_ROW) {
                    schema = sqlite3_column_int(version.get(), 0);
                    code = SQLITE_OK;
                }
            }
            if (code == SQLITE_OK && schema != kSchemaVersion) {
                code = connection->exec("DROP TABLE IF EXISTS results;"
                                        "CREATE TABLE results("
                                        "  path TEXT PRIMARY KEY NOT NULL,"
                                        "  size INTEGER NOT NULL,"
                                        "  modified_ns INTEGER NOT NULL,"
                                        "  version INTEGER NOT NULL,"
                                        "  report BLOB NOT NULL,"
                                        "  checksum INTEGER NOT NULL"
                                        ") WITHOUT ROWID;");
                if (code == SQLITE_OK)
                    code = connection->exec(
                        QByteArray("PRAGMA user_version=" + QByteArray::number(kSchemaVersion))
                            .constData());
            }
            const int end = connection->exec(code == SQLITE_OK ? "COMMIT" : "ROLLBACK");
            if (code == SQLITE_OK)
                code = end;
        }
        return code;
    };
    // Switching the journal to WAL takes the file for itself and does not
    // wait for the busy timeout: several processes opening a new cache at
    // once must take turns here rather than give up the cache.
    QElapsedTimer waited;
    waited.start();
    code = setUp();
    while (IsBusy(code) && waited.elapsed() < kBusyTimeoutMs) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        code = setUp();
    }
    if (code == SQLITE_OK)
        connection->Select = connection->prepare(
            "SELECT size, modified_ns, version, report, checksum FROM results WHERE path = ?1",
            code);
    if (code == SQLITE_OK)
        connection->Insert = connection->prepare(
            "INSERT OR REPLACE INTO results(path, size, modified_ns, version, report, checksum)"
            " VALUES (?1, ?2, ?3, ?4, ?5, ?6)",
            code);
    if (code != SQLITE_OK) {
        const QString message = QString::fromUtf8(sqlite3_errmsg(raw));
        if (IsDamage(code) && !m_rebuilt) {
            connection.reset();
            handleFailureLocked(code, "opening");
            return m_db != nullptr;
        }
        disableLocked(QStringLiteral("cannot use it (%1)").arg(message));
        return false;
    }
    m_db = std::move(connection);
    return true;
}

void ResultCache::disableLocked(const QString& why) {
    m_db.reset();
    m_warn(QStringLiteral("results cache %1: %2; results are not kept this time")
               .arg(QDir::toNativeSeparators(m_path), why));
}

// Damage: the file is moved aside (kept for whoever wants to look at it) and
// a new one started, once per process. Anything else: the cache is left alone.
void ResultCache::handleFailureLocked(int code, const char* during) {
    if (!IsDamage(code)) {
        // A busy database only costs this one result.
        if (IsBusy(code))
            return;
        disableLocked(
            QStringLiteral("%1 failed (%2)")
                .arg(QString::fromLatin1(during), QString::fromUtf8(sqlite3_errstr(code))));
        return;
    }
    m_db.reset();
    if (m_rebuilt) {
        disableLocked(QStringLiteral("damaged again"));
        return;
    }
    m_rebuilt = true;
    const QString aside = m_path + QStringLiteral(".damaged");
    for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")}) {
        QFile::remove(aside + suffix);
        if (QFile::exists(m_path + suffix) && !QFile::rename(m_path + suffix, aside + suffix))
            QFile::remove(m_path + suffix);
    }
    m_warn(QStringLiteral("results cache %1 was damaged; moved aside to %2 and started anew")
               .arg(QDir::toNativeSeparators(m_path), QDir::toNativeSeparators(aside)));
    openLocked();
}

std::optional<QualityAndSource> ResultCache::lookup(const FileStamp& stamp) {
    std::lock_guard lock(m_mutex);
    if (!m_db)
        return std::nullopt;
    sqlite3_stmt* select = m_db->Select.get();
    const QByteArray path = stamp.CanonicalPath.toUtf8();
    sqlite3_bind_text(select, 1, path.constData(), int(path.size()), SQLITE_STATIC);
    const int code = sqlite3_step(select);
    std::optional<QualityAndSource> found;
    if (code == SQLITE_ROW) {
        const qint64 size = sqlite3_column_int64(select, 0);
        const qint64 modifiedNs = sqlite3_column_int64(select, 1);
        const qint64 version = sqlite3_column_int64(select, 2);
        const QByteArray report(static_cast<const char*>(sqlite3_column_blob(select, 3)),
                                sqlite3_column_bytes(select, 3));
        const qint64 checksum = sqlite3_column_int64(select, 4);
        if (size == stamp.Size && modifiedNs == stamp.ModifiedNs && version == m_versionKey &&
            checksum == RowChecksum(path, size, modifiedNs, version, report))
            found = DecodeStoredReport(report);
    }
    sqlite3_reset(select);
    sqlite3_clear_bindings(select);
    if (code != SQLITE_ROW && code != SQLITE_DONE)
        handleFailureLocked(code, "reading");
    return found;
}

void ResultCache::store(const FileStamp& stamp, const QualityAndSource& result) {
    std::lock_guard lock(m_mutex);
    if (!m_db)
        return;
    sqlite3_stmt* insert = m_db->Insert.get();
    const QByteArray path = stamp.CanonicalPath.toUtf8();
    const QByteArray report = EncodeStoredReport(result);
    sqlite3_bind_text(insert, 1, path.constData(), int(path.size()), SQLITE_STATIC);
    sqlite3_bind_int64(insert, 2, stamp.Size);
    sqlite3_bind_int64(insert, 3, stamp.ModifiedNs);
    sqlite3_bind_int64(insert, 4, m_versionKey);
    sqlite3_bind_blob(insert, 5, report.constData(), int(report.size()), SQLITE_STATIC);
    sqlite3_bind_int64(insert, 6,
                       RowChecksum(path, stamp.Size, stamp.ModifiedNs, m_versionKey, report));
    const int code = sqlite3_step(insert);
    sqlite3_reset(insert);
    sqlite3_clear_bindings(insert);
    if (code != SQLITE_DONE)
        handleFailureLocked(code, "writing");
}

bool ResultCache::clear() {
    std::lock_guard lock(m_mutex);
    if (!m_db)
        return false;
    const int code = m_db->exec("DELETE FROM results");
    if (code != SQLITE_OK) {
        handleFailureLocked(code, "emptying");
        return false;
    }
    // Give the space back; another process reading at this moment only
    // keeps the file at its size for now.
    m_db->exec("VACUUM");
    return true;
}

qint64 ResultCache::size() {
    std::lock_guard lock(m_mutex);
    if (!m_db)
        return -1;
    int code = SQLITE_OK;
    const Statement count = m_db->prepare("SELECT count(*) FROM results", code);
    if (code != SQLITE_OK || sqlite3_step(count.get()) != SQLITE_ROW)
        return -1;
    return sqlite3_column_int64(count.get(), 0);
}
