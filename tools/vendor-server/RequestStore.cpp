#include "RequestStore.h"

#include <future>
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
    const int result = sqlite3_step(statement);
    sqlite3_reset(statement);
    if (result != SQLITE_DONE) {
        throw StoreError(std::string("cannot store the request: ") + sqlite3_errmsg(db));
    }
}

} // namespace

struct RequestStore::Pending {
    const std::string& Endpoint;
    const std::string& Scheme;
    const std::string& RemoteAddress;
    const FormFields& Fields;
    std::promise<long long> Stored;
};

struct RequestStore::Statements {
    Statement Request;
    Statement Field;
};

RequestStore::RequestStore(const std::string& path) {
    if (sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        const std::string reason = m_db ? sqlite3_errmsg(m_db) : "out of memory";
        sqlite3_close(m_db);
        m_db = nullptr;
        throw StoreError("cannot open database " + path + ": " + reason);
    }
    try {
        // Readers (a deployer's reports, the tests) may look while we write.
        sqlite3_busy_timeout(m_db, 5000);
        // A commit is flushed to disk before Add returns and the client is
        // answered; the log keeps readers from blocking the writer.
        Execute("PRAGMA journal_mode = WAL");
        Execute("PRAGMA synchronous = FULL");
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
        m_statements = std::make_unique<Statements>(Statements{
            Prepare(m_db,
                    "INSERT INTO requests (endpoint, remote_address, scheme) VALUES (?1, ?2, ?3)"),
            Prepare(m_db, "INSERT INTO request_fields (request_id, position, name, value) "
                          "VALUES (?1, ?2, ?3, ?4)")});
        m_writer = std::thread([this] { WriteLoop(); });
    } catch (...) {
        m_statements.reset();
        sqlite3_close(m_db);
        throw;
    }
}

RequestStore::~RequestStore() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_wake.notify_all();
    }
    m_writer.join();
    m_statements.reset();
    sqlite3_close(m_db);
}

void RequestStore::Execute(const char* sql) {
    char* message = nullptr;
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        const std::string reason = message ? message : sqlite3_errmsg(m_db);
        sqlite3_free(message);
        throw StoreError(reason);
    }
}

long long RequestStore::Add(const std::string& endpoint, const std::string& scheme,
                            const std::string& remoteAddress, const FormFields& fields) {
    Pending request{endpoint, scheme, remoteAddress, fields, {}};
    std::future<long long> stored = request.Stored.get_future();
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping) {
            throw StoreError("the store is closing");
        }
        m_waiting.push_back(&request);
        m_wake.notify_one();
    }
    return stored.get();
}

void RequestStore::WriteLoop() {
    for (;;) {
        std::deque<Pending*> batch;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_waiting.empty(); });
            if (m_waiting.empty()) {
                return; // stopping, and nobody is waiting
            }
            batch.swap(m_waiting);
        }
        Commit(batch);
    }
}

long long RequestStore::Insert(const Pending& request) {
    sqlite3_stmt* row = m_statements->Request.get();
    BindText(row, 1, request.Endpoint);
    BindText(row, 2, request.RemoteAddress);
    BindText(row, 3, request.Scheme);
    Step(m_db, row);
    const long long id = sqlite3_last_insert_rowid(m_db);

    sqlite3_stmt* field = m_statements->Field.get();
    int position = 0;
    for (const auto& [name, value] : request.Fields) {
        sqlite3_bind_int64(field, 1, id);
        sqlite3_bind_int(field, 2, position++);
        BindText(field, 3, name);
        BindText(field, 4, value);
        Step(m_db, field);
    }
    return id;
}

void RequestStore::Commit(std::deque<Pending*>& batch) {
    std::vector<long long> ids;
    try {
        Execute("BEGIN IMMEDIATE");
        try {
            for (const Pending* request : batch) {
                ids.push_back(Insert(*request));
            }
            Execute("COMMIT");
        } catch (...) {
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
    } catch (const std::exception&) {
        if (batch.size() > 1) {
            // One bad request must not cost the others: each on its own.
            for (Pending* request : batch) {
                std::deque<Pending*> single{request};
                Commit(single);
            }
            return;
        }
        batch.front()->Stored.set_exception(std::current_exception());
        return;
    }
    for (std::size_t i = 0; i < batch.size(); ++i) {
        batch[i]->Stored.set_value(ids[i]);
    }
}
