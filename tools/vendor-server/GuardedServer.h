#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <httplib.h>
#include <mutex>
#include <thread>
#include <vector>

// How much of the server one connection, and all of them together, may hold.
struct ConnectionLimits {
    // From accepting a connection to its last byte out, the TLS handshake and
    // a slow client's trickle included. The program sends its whole request
    // at once; a client that needs longer is holding a worker hostage.
    std::chrono::milliseconds RequestDeadline{10000};
    // Bytes read from one connection, request line, headers and body: httplib
    // bounds each header line but not their number.
    std::size_t MaxRequestBytes = 1024 * 1024;
    // Requests served at once.
    std::size_t Workers = 16;
    // Connections accepted but waiting for a worker; beyond it a connection
    // is answered 503 at once instead of growing the queue.
    std::size_t QueueLength = 64;
    // Connections the kernel completes before we accept them. httplib listens
    // with a backlog of 5, which a burst of clients overflows into
    // one-second SYN retries.
    int Backlog = 512;
};

// httplib's thread pool with a bounded queue. A connection that finds the
// queue full is not queued: its task runs at once on the accepting thread
// in "shed" mode, which only answers 503 and closes.
class BoundedTaskQueue : public httplib::TaskQueue {
public:
    BoundedTaskQueue(std::size_t workers, std::size_t queueLength);
    ~BoundedTaskQueue() override;

    void enqueue(std::function<void()> fn) override;
    void shutdown() override;

    // True while the current thread runs a task that was shed.
    static bool Shedding();

private:
    void Work();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_jobs;
    std::size_t m_queueLength;
    bool m_stopping = false;
    std::vector<std::thread> m_threads;
};

// One request per connection, served through a stream that gives up at the
// connection's deadline, then a short bounded drain of what the client still
// sends, so that an early refusal (411, 413) reaches it instead of a reset.
class GuardedServer : public httplib::Server {
public:
    explicit GuardedServer(ConnectionLimits limits);

    // After binding: the backlog of the limits.
    void widenBacklog();

private:
    bool process_and_close_socket(socket_t sock) override;

    ConnectionLimits m_limits;
};

// The same over TLS, the handshake within the deadline too.
class GuardedSslServer : public httplib::SSLServer {
public:
    GuardedSslServer(const char* certFile, const char* keyFile, ConnectionLimits limits);

    void widenBacklog();

private:
    bool process_and_close_socket(socket_t sock) override;

    ConnectionLimits m_limits;
};
