#pragma once

#include <mutex>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

struct sqlite3;

using FormFields = std::vector<std::pair<std::string, std::string>>;

class StoreError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Every form the server receives, kept in an SQLite database: one row per
// request in "requests" (endpoint "check" or "feedback", UTC time, peer
// address, scheme) and its fields, in the order they came, in
// "request_fields". Safe to use from the server's worker threads.
class RequestStore {
public:
    explicit RequestStore(const std::string& path);
    ~RequestStore();
    RequestStore(const RequestStore&) = delete;
    RequestStore& operator=(const RequestStore&) = delete;

    // Stores one request with all its fields in one transaction; returns its id.
    long long Add(const std::string& endpoint, const std::string& scheme,
                  const std::string& remoteAddress, const FormFields& fields);

private:
    void Execute(const char* sql);

    std::mutex mutex_;
    sqlite3* db_ = nullptr;
};
