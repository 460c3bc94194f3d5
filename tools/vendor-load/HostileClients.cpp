#include "HostileClients.h"

#include <QByteArray>
#include <QList>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <netinet/in.h>
#include <random>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// A connected loopback socket whose every send and receive gives up after a
// second, so an attack notices `stop` soon.
class Connection {
public:
    explicit Connection(int port) {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        if (m_fd < 0) {
            return;
        }
        timeval second{1, 0};
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &second, sizeof second);
        ::setsockopt(m_fd, SOL_SOCKET, SO_SNDTIMEO, &second, sizeof second);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~Connection() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    bool Open() const { return m_fd >= 0; }

    // Sends all of `bytes` unless the server stops taking them; counts what went.
    bool Send(const QByteArray& bytes, std::size_t& sent, std::stop_token stop) {
        qsizetype offset = 0;
        while (offset < bytes.size() && !stop.stop_requested()) {
            const ssize_t written =
                ::send(m_fd, bytes.constData() + offset, static_cast<size_t>(bytes.size() - offset),
                       MSG_NOSIGNAL);
            if (written > 0) {
                offset += written;
                sent += static_cast<std::size_t>(written);
            } else if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
                continue; // a full buffer: the server reads slowly or not at all
            } else {
                return false;
            }
        }
        return offset == bytes.size();
    }

    // The status of the server's answer, or what became of the connection,
    // waiting at most `patience`.
    std::string Answer(std::stop_token stop,
                       std::chrono::seconds patience = std::chrono::seconds(15)) {
        QByteArray head;
        const Clock::time_point until = Clock::now() + patience;
        while (!stop.stop_requested() && Clock::now() < until && !head.contains('\n')) {
            char buffer[512];
            const ssize_t received = ::recv(m_fd, buffer, sizeof buffer, 0);
            if (received > 0) {
                head.append(buffer, received);
            } else if (received == 0) {
                break;
            } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                return head.isEmpty() ? "reset" : StatusOf(head);
            }
        }
        if (head.isEmpty()) {
            return stop.stop_requested() || Clock::now() >= until ? "no answer" : "closed";
        }
        return StatusOf(head);
    }

private:
    static std::string StatusOf(const QByteArray& head) {
        const QList<QByteArray> words = head.left(head.indexOf('\n')).split(' ');
        return words.size() >= 2 && words[0].startsWith("HTTP/") ? words[1].toStdString()
                                                                 : "junk answer";
    }

    int m_fd = -1;
};

QByteArray FormHead(const char* path, qsizetype length, const char* extra = "") {
    return QByteArray("POST ") + path +
           " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/x-www-form-urlencoded\r\n" +
           extra + "Content-Length: " + QByteArray::number(length) + "\r\n\r\n";
}

QByteArray Form(const char* path, const QByteArray& body) {
    return FormHead(path, body.size()) + body;
}

// 64 MiB of zeros, deflated once: about 64 KiB on the wire.
const QByteArray& InflatingBody() {
    static const QByteArray body = qCompress(QByteArray(64 * 1024 * 1024, '\0'), 9).mid(4);
    return body;
}

AttackOutcome Slow(Connection& c, std::stop_token stop) {
    AttackOutcome outcome;
    const QByteArray request = Form("/php/feedback.php", "cmd=feedback&feedback=slow");
    for (const char byte : request) {
        if (stop.stop_requested() || !c.Send(QByteArray(1, byte), outcome.BytesSent, stop)) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    outcome.Result = c.Answer(stop);
    return outcome;
}

// Pushes `piece` again and again after `head`, up to `offerBytes`.
AttackOutcome Flood(Connection& c, const QByteArray& head, const QByteArray& piece,
                    std::size_t offerBytes, std::stop_token stop) {
    AttackOutcome outcome;
    bool open = c.Send(head, outcome.BytesSent, stop);
    while (open && outcome.BytesSent < offerBytes && !stop.stop_requested()) {
        open = c.Send(piece, outcome.BytesSent, stop);
    }
    outcome.Result = c.Answer(stop);
    return outcome;
}

QByteArray Garbage(unsigned variant) {
    switch (variant % 8) {
    case 0: {
        std::mt19937 random(variant);
        QByteArray junk(4096, '\0');
        for (char& byte : junk) {
            byte = static_cast<char>(random());
        }
        return junk;
    }
    case 1:
        return Form("/php/check2.php", "cmd=check&appname=x&exploit=1");
    case 2:
        return Form("/php/check2.php", "cmd=delete&appname=x");
    case 3:
        return Form("/php/check2.php", "cmd=check&os=" + QByteArray(5000, 'A'));
    case 4:
        return Form("/php/feedback.php", "cmd=feedback&feedback=%FF%FE%C0%AF");
    case 5:
        return Form("/php/feedback.php", "cmd=feedback&feedback=a&feedback=b");
    case 6:
        return "GARBAGE /php/check2.php HTTP/1.1\r\nHost: x\r\nContent-Length: 3\r\n\r\nabc";
    default:
        return "POST /php/check2.php HTTP/1.1\r\nHost: x\r\nContent-Length: -1\r\n\r\n";
    }
}

} // namespace

const char* HostileName(HostileKind kind) {
    switch (kind) {
    case HostileKind::Slow:
        return "slow";
    case HostileKind::Chunked:
        return "chunked";
    case HostileKind::Compressed:
        return "compressed";
    case HostileKind::Oversized:
        return "oversized";
    case HostileKind::Garbage:
        return "garbage";
    case HostileKind::HeaderFlood:
        return "header flood";
    }
    return "?";
}

void PrepareAttacks() {
    (void)InflatingBody();
}

AttackOutcome Attack(HostileKind kind, int port, std::size_t offerBytes, std::stop_token stop,
                     unsigned variant) {
    const Clock::time_point start = Clock::now();
    Connection c(port);
    AttackOutcome outcome;
    if (!c.Open()) {
        outcome.Result = "refused";
        return outcome;
    }
    static const QByteArray chunk = "10000\r\n" + QByteArray(0x10000, 'a') + "\r\n";
    static const QByteArray padding = QByteArray(0x10000, 'a');
    switch (kind) {
    case HostileKind::Slow:
        outcome = Slow(c, stop);
        break;
    case HostileKind::Chunked:
        outcome = Flood(c,
                        "POST /php/feedback.php HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                        "Content-Type: application/x-www-form-urlencoded\r\n"
                        "Transfer-Encoding: chunked\r\n\r\n",
                        chunk, offerBytes, stop);
        break;
    case HostileKind::Compressed: {
        const QByteArray& body = InflatingBody();
        c.Send(FormHead("/php/feedback.php", body.size(), "Content-Encoding: deflate\r\n") + body,
               outcome.BytesSent, stop);
        outcome.Result = c.Answer(stop);
        break;
    }
    case HostileKind::Oversized:
        outcome =
            Flood(c, FormHead("/php/feedback.php", 1000 * 1000 * 1000), padding, offerBytes, stop);
        break;
    case HostileKind::Garbage:
        c.Send(Garbage(variant), outcome.BytesSent, stop);
        outcome.Result = c.Answer(stop);
        break;
    case HostileKind::HeaderFlood: {
        QByteArray lines;
        for (int i = 0; i < 2048; ++i) {
            lines += "X-Pad-" + QByteArray::number(i) + ": aaaaaaaaaaaaaaaaaaaaaaa\r\n";
        }
        outcome = Flood(c, "POST /php/check2.php HTTP/1.1\r\nHost: 127.0.0.1\r\n", lines,
                        offerBytes, stop);
        break;
    }
    }
    outcome.Seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return outcome;
}

std::string Exchange(int port, const QByteArray& request, std::chrono::seconds patience) {
    Connection c(port);
    if (!c.Open()) {
        return "refused";
    }
    std::size_t sent = 0;
    c.Send(request, sent, {});
    return c.Answer({}, patience);
}
