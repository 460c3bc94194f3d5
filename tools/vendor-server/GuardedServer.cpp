#include "GuardedServer.h"

#include "LogText.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <memory>
#include <netdb.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

thread_local bool tShedding = false;

// After the answer: what the client still sends is read and dropped for at
// most this long and this much, so that closing with unread data does not
// reset the connection before the client has read an early refusal.
constexpr auto kLingerTime = std::chrono::milliseconds(500);
constexpr std::size_t kLingerBytes = 256 * 1024;

// Waits until `fd` is ready for `events`; false when the deadline passes first.
bool WaitReady(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            return false;
        }
        pollfd watched{fd, events, 0};
        const int ready = ::poll(&watched, 1, static_cast<int>(std::min<long long>(left, INT_MAX)));
        if (ready > 0) {
            return true; // an error or hang-up shows in the read or write that follows
        }
        if (ready == 0 || errno != EINTR) {
            return false;
        }
    }
}

void SetNonBlocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL, 0);
    if (flags >= 0) {
        ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    }
}

void NumericAddress(const sockaddr_storage& address, socklen_t length, std::string& ip, int& port) {
    char host[NI_MAXHOST] = {};
    char service[NI_MAXSERV] = {};
    if (::getnameinfo(reinterpret_cast<const sockaddr*>(&address), length, host, sizeof host,
                      service, sizeof service, NI_NUMERICHOST | NI_NUMERICSERV) == 0) {
        ip = host;
        port = std::atoi(service);
    }
}

// A connection's bytes, plain or through TLS, where every wait ends at the
// connection's deadline. httplib reads the request line and headers one byte
// at a time, so reads are buffered.
class DeadlineStream final : public httplib::Stream {
public:
    DeadlineStream(int fd, SSL* ssl, Clock::time_point deadline, std::size_t budget)
        : m_fd(fd), m_ssl(ssl), m_deadline(deadline), m_budget(budget) {}

    bool is_readable() const override {
        return m_offset < m_filled || (m_ssl && SSL_pending(m_ssl) > 0) ||
               WaitReady(m_fd, POLLIN, m_deadline);
    }

    bool is_writable() const override { return WaitReady(m_fd, POLLOUT, m_deadline); }

    ssize_t read(char* ptr, size_t size) override {
        if (m_offset == m_filled) {
            if (m_budget == 0) {
                return -1; // the request is larger than any we take
            }
            size = std::min(size, m_budget);
            if (size >= sizeof m_buffer) {
                const ssize_t received = Receive(ptr, size);
                m_budget -= received > 0 ? static_cast<size_t>(received) : 0;
                return received;
            }
            const ssize_t received = Receive(m_buffer, std::min(sizeof m_buffer, m_budget));
            if (received <= 0) {
                return received;
            }
            m_budget -= static_cast<size_t>(received);
            m_offset = 0;
            m_filled = static_cast<size_t>(received);
        }
        const size_t taken = std::min(size, m_filled - m_offset);
        std::copy_n(m_buffer + m_offset, taken, ptr);
        m_offset += taken;
        return static_cast<ssize_t>(taken);
    }

    ssize_t write(const char* ptr, size_t size) override {
        const int chunk = static_cast<int>(std::min<size_t>(size, INT_MAX));
        for (;;) {
            if (m_ssl) {
                const int written = SSL_write(m_ssl, ptr, chunk);
                if (written > 0) {
                    return written;
                }
                if (!WaitForTls(SSL_get_error(m_ssl, written))) {
                    return -1;
                }
                continue;
            }
            const ssize_t written =
                ::send(m_fd, ptr, static_cast<size_t>(chunk), MSG_DONTWAIT | MSG_NOSIGNAL);
            if (written >= 0) {
                return written;
            }
            if (errno != EINTR && !((errno == EAGAIN || errno == EWOULDBLOCK) &&
                                    WaitReady(m_fd, POLLOUT, m_deadline))) {
                return -1;
            }
        }
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        if (::getpeername(m_fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
            NumericAddress(address, length, ip, port);
        }
    }

    void get_local_ip_and_port(std::string& ip, int& port) const override {
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        if (::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
            NumericAddress(address, length, ip, port);
        }
    }

    socket_t socket() const override { return m_fd; }

private:
    // Waits for what TLS asked for; false on any other outcome.
    bool WaitForTls(int error) const {
        if (error == SSL_ERROR_WANT_READ) {
            return WaitReady(m_fd, POLLIN, m_deadline);
        }
        if (error == SSL_ERROR_WANT_WRITE) {
            return WaitReady(m_fd, POLLOUT, m_deadline);
        }
        return false;
    }

    ssize_t Receive(char* ptr, size_t size) {
        const int chunk = static_cast<int>(std::min<size_t>(size, INT_MAX));
        for (;;) {
            if (m_ssl) {
                const int received = SSL_read(m_ssl, ptr, chunk);
                if (received > 0) {
                    return received;
                }
                const int error = SSL_get_error(m_ssl, received);
                if (error == SSL_ERROR_ZERO_RETURN) {
                    return 0;
                }
                if (!WaitForTls(error)) {
                    return -1;
                }
                continue;
            }
            const ssize_t received = ::recv(m_fd, ptr, static_cast<size_t>(chunk), MSG_DONTWAIT);
            if (received >= 0) {
                return received;
            }
            if (errno != EINTR && !((errno == EAGAIN || errno == EWOULDBLOCK) &&
                                    WaitReady(m_fd, POLLIN, m_deadline))) {
                return -1;
            }
        }
    }

    int m_fd;
    SSL* m_ssl;
    Clock::time_point m_deadline;
    std::size_t m_budget;
    char m_buffer[4096];
    size_t m_offset = 0;
    size_t m_filled = 0;
};

// Ends our side, then reads and drops what the client still sends, within
// the linger bounds and the connection's deadline, and closes.
void LingerAndClose(int fd, Clock::time_point deadline) {
    ::shutdown(fd, SHUT_WR);
    const Clock::time_point until = std::min(deadline, Clock::now() + kLingerTime);
    char sink[4096];
    std::size_t drained = 0;
    while (drained < kLingerBytes && WaitReady(fd, POLLIN, until)) {
        const ssize_t received = ::recv(fd, sink, sizeof sink, MSG_DONTWAIT);
        if (received == 0 || (received < 0 && errno != EINTR && errno != EAGAIN)) {
            break;
        }
        drained += received > 0 ? static_cast<std::size_t>(received) : 0;
    }
    ::close(fd);
}

// A connection that found every worker busy and the queue full.
void RefuseBusy(int fd, bool plainHttp) {
    if (plainHttp) {
        static const char answer[] = "HTTP/1.1 503 Service Unavailable\r\n"
                                     "Content-Type: text/plain; charset=utf-8\r\n"
                                     "Content-Length: 7\r\n"
                                     "Retry-After: 1\r\n"
                                     "Connection: close\r\n\r\n"
                                     "ERROR\r\n";
        (void)::send(fd, answer, sizeof answer - 1, MSG_DONTWAIT | MSG_NOSIGNAL);
    }
    ::shutdown(fd, SHUT_RDWR);
    ::close(fd);
    WriteLogLine(plainHttp ? "busy: answered 503, every worker taken and the queue full"
                           : "busy: closed a https connection, every worker taken and the queue "
                             "full");
}

struct SslDeleter {
    void operator()(SSL* ssl) const { SSL_free(ssl); }
};

std::mutex gSslNewMutex;

} // namespace

BoundedTaskQueue::BoundedTaskQueue(std::size_t workers, std::size_t queueLength)
    : m_queueLength(queueLength) {
    for (std::size_t i = 0; i < std::max<std::size_t>(workers, 1); ++i) {
        m_threads.emplace_back([this] { Work(); });
    }
}

BoundedTaskQueue::~BoundedTaskQueue() {
    shutdown();
}

bool BoundedTaskQueue::Shedding() {
    return tShedding;
}

void BoundedTaskQueue::enqueue(std::function<void()> fn) {
    {
        std::lock_guard lock(m_mutex);
        if (!m_stopping && m_jobs.size() < m_queueLength) {
            m_jobs.push_back(std::move(fn));
            m_wake.notify_one();
            return;
        }
    }
    tShedding = true;
    try {
        fn();
    } catch (...) {
        // A refusal that fails leaves nothing to clean up beyond the socket it closed.
    }
    tShedding = false;
}

void BoundedTaskQueue::shutdown() {
    std::deque<std::function<void()>> left;
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_wake.notify_all();
    }
    for (std::thread& thread : m_threads) {
        if (thread.joinable()) {
            thread.join();
        }
    }
    {
        std::lock_guard lock(m_mutex);
        left.swap(m_jobs);
    }
    // Connections still queued are refused, not served: stopping stays quick.
    for (std::function<void()>& fn : left) {
        tShedding = true;
        try {
            fn();
        } catch (...) {
        }
        tShedding = false;
    }
}

void BoundedTaskQueue::Work() {
    for (;;) {
        std::function<void()> fn;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
            if (m_stopping) {
                return;
            }
            fn = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        try {
            fn();
        } catch (...) {
            // httplib answers a failing handler itself; nothing may end the worker.
        }
    }
}

GuardedServer::GuardedServer(ConnectionLimits limits) : m_limits(limits) {
    new_task_queue = [limits] { return new BoundedTaskQueue(limits.Workers, limits.QueueLength); };
}

void GuardedServer::widenBacklog() {
    ::listen(svr_sock_, m_limits.Backlog); // on a listening socket: only the backlog changes
}

bool GuardedServer::process_and_close_socket(socket_t sock) {
    if (BoundedTaskQueue::Shedding()) {
        RefuseBusy(sock, true);
        return false;
    }
    const Clock::time_point deadline = Clock::now() + m_limits.RequestDeadline;
    SetNonBlocking(sock);
    bool closed = false;
    bool served = false;
    {
        DeadlineStream stream(sock, nullptr, deadline, m_limits.MaxRequestBytes);
        served = process_request(stream, true, closed, nullptr);
    }
    LingerAndClose(sock, deadline);
    return served;
}

GuardedSslServer::GuardedSslServer(const char* certFile, const char* keyFile,
                                   ConnectionLimits limits)
    : httplib::SSLServer(certFile, keyFile), m_limits(limits) {
    new_task_queue = [limits] { return new BoundedTaskQueue(limits.Workers, limits.QueueLength); };
}

void GuardedSslServer::widenBacklog() {
    ::listen(svr_sock_, m_limits.Backlog);
}

bool GuardedSslServer::process_and_close_socket(socket_t sock) {
    if (BoundedTaskQueue::Shedding()) {
        RefuseBusy(sock, false);
        return false;
    }
    const Clock::time_point deadline = Clock::now() + m_limits.RequestDeadline;
    SetNonBlocking(sock);
    std::unique_ptr<SSL, SslDeleter> ssl;
    {
        std::lock_guard lock(gSslNewMutex);
        ssl.reset(SSL_new(ssl_context()));
    }
    bool served = false;
    if (ssl && SSL_set_fd(ssl.get(), sock) == 1) {
        bool handshaken = false;
        for (;;) {
            const int result = SSL_accept(ssl.get());
            if (result == 1) {
                handshaken = true;
                break;
            }
            const int error = SSL_get_error(ssl.get(), result);
            const short wanted = error == SSL_ERROR_WANT_READ    ? POLLIN
                                 : error == SSL_ERROR_WANT_WRITE ? POLLOUT
                                                                 : 0;
            if (wanted == 0 || !WaitReady(sock, wanted, deadline)) {
                break;
            }
        }
        if (handshaken) {
            bool closed = false;
            DeadlineStream stream(sock, ssl.get(), deadline, m_limits.MaxRequestBytes);
            served = process_request(stream, true, closed, nullptr);
            SSL_shutdown(ssl.get()); // one close_notify, not waiting for the peer's
        }
    }
    ssl.reset();
    LingerAndClose(sock, deadline);
    return served;
}
