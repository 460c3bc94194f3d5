#include "RequestStore.h"

#include <memory>
#include <sqlite3.h>

namespace {

struct StatementDeleter {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

Statement Prepare(sqlite3* db, const char* sql) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &raw, nullptr) != SQLITE_OK) {
        sqlite3_finalize(raw);
        throw StoreError(std::string("cannot prepare statement: ") + sqlite3_errmsg(db));
    }
    return Statement(raw);
}

void BindText(sqlite3_stmt* statement, int index, const std::string& text) {
    sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()),
                      SQLITE_TRANSIENT);
}

void Step(sqlite3* db, sqlite3_stmt* statement) {
    if (sqlite3_step(statement) != SQLITE_DONE) {
        throw StoreError(std::string("cannot store the request: ") + sqlite3_errmsg(db));
    }
}

} // namespace

RequestStore::RequestStore(const std::string& path) {
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        const std::string reason = db_ ? sqlite3_errmsg(db_) : "out of memory";
        sqlite3_close(db_);
        db_ = nullptr;
        throw StoreError("cannot open database " + path + ": " + reason);
    }
    try {
        // Readers (a deployer's reports, the tests) may look while we write.
        sqlite3_busy_timeout(db_, 5000);
        Execute("PRAGMA foreign_keys = ON");
        Execute("CREATE TABLE IF NOT EXISTS requests ("
                " id INTEGER PRIMARY KEY AUTOINCREMENT,"
                " endpoint TEXT NOT NULL,"
                " received_utc TEXT NOT NULL DEFAULT (strftime('%Y-%m-%dT%H:%M:%fZ', 'now')),"
                " remote_address TEXT NOT NULL,"
                " scheme TEXT NOT NULL)");
        Execute("CREATE TABLE IF NOT EXISTS request_fields ("
                " request_id INTEGER NOT NULL REFERENCES requests(id) ON DELETE CASCADE,"
                " position INTEGER NOT NULL,"
                " name TEXT NOT NULL,"
                " value TEXT NOT NULL,"
                " PRIMARY KEY (request_id, position))");
    } catch (...) {
        sqlite3_close(db_);
        throw;
    }
}

RequestStore::~RequestStore() {
    sqlite3_close(db_);
}

void RequestStore::Execute(const char* sql) {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        const std::string reason = message ? message : sqlite3_errmsg(db_);
        sqlite3_free(message);
        throw StoreError(reason);
    }
}

long long RequestStore::Add(const std::string& endpoint, const std::string& scheme,
                            const std::string& remoteAddress, const FormFields& fields) {
    std::lock_guard<std::mutex> lock(mutex_);
    Execute("BEGIN IMMEDIATE");
    try {
        Statement request = Prepare(
            db_, "INSERT INTO requests (endpoint, remote_address, scheme) VALUES (?1, ?2, ?3)");
        BindText(request.get(), 1, endpoint);
        BindText(request.get(), 2, remoteAddress);
        BindText(request.get(), 3, scheme);
        Step(db_, request.get());
        const long long id = sqlite3_last_insert_rowid(db_);

        Statement field = Prepare(db_, "INSERT INTO request_fields (request_id, position, name, "
                                       "value) VALUES (?1, ?2, ?3, ?4)");
        int position = 0;
        for (const auto& [name, value] : fields) {
            sqlite3_reset(field.get());
            sqlite3_bind_int64(field.get(), 1, id);
            sqlite3_bind_int(field.get(), 2, position++);
            BindText(field.get(), 3, name);
            BindText(field.get(), 4, value);
            Step(db_, field.get());
        }
        Execute("COMMIT");
        return id;
    } catch (...) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}
