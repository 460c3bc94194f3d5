#pragma once

#include "FormRules.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

struct sqlite3;
struct sqlite3_stmt;

class StoreError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Every form the server accepts, kept in an SQLite database: one row per
// request in "requests" (endpoint "check" or "feedback", UTC time, peer
// address, scheme) and its fields, in the order they came, in
// "request_fields".
//
// Add returns only once the request is committed to disk (write-ahead log,
// synchronous=FULL): what the server has answered survives a crash of the
// process and of the machine. One writer thread commits whatever requests
// are waiting in one transaction, so a busy server pays one disk flush per
// batch rather than per request.
class RequestStore {
public:
    explicit RequestStore(const std::string& path);
    ~RequestStore();
    RequestStore(const RequestStore&) = delete;
    RequestStore& operator=(const RequestStore&) = delete;

    // Stores one request with all its fields; returns its id once committed.
    // Throws StoreError when it could not be stored. Safe from any thread.
    long long Add(const std::string& endpoint, const std::string& scheme,
                  const std::string& remoteAddress, const FormFields& fields);

private:
    struct Pending;
    struct Statements;

    void WriteLoop();
    void Commit(std::deque<Pending*>& batch);
    long long Insert(const Pending& request);
    void Execute(const char* sql);

    sqlite3* m_db = nullptr;
    std::unique_ptr<Statements> m_statements;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Pending*> m_waiting;
    bool m_stopping = false;
    std::thread m_writer;
};
