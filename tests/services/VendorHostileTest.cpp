// The reference vendor server on loopback against clients that are not the
// program: refusals before any body is read, floods that must not reach its
// memory, slow clients, a full queue, and a log that stays plain text.
#include "FormRules.h"
#include "HostileClients.h"
#include "VendorServerProcess.h"
#include "services/FormPost.h"
#include "support/NamedCases.h"

#include <QByteArray>
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <ostream>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace vendortest;

namespace {

QByteArray Post(const QByteArray& path, const QByteArray& headers, const QByteArray& body) {
    return "POST " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + headers + "\r\n" + body;
}

QByteArray Form(const QByteArray& path, const QByteArray& body, const QByteArray& extra = {}) {
    return Post(path,
                "Content-Type: application/x-www-form-urlencoded\r\n" + extra +
                    "Content-Length: " + QByteArray::number(body.size()) + "\r\n",
                body);
}

const QByteArray kCheck = "/php/check2.php";
const QByteArray kFeedback = "/php/feedback.php";

PostOptions Patient() {
    PostOptions options;
    options.ConnectTimeoutMs = 5000;
    options.ResponseTimeoutMs = 15000;
    return options;
}

} // namespace

struct RawCase {
    const char* name;
    QByteArray request;
    std::string status;
    bool stored;
};

class VendorRawRequestTest : public ::testing::TestWithParam<RawCase> {};

TEST_P(VendorRawRequestTest, RefusesWhatTheProgramNeverSendsAndStoresNothingOfIt) {
    VendorServerProcess server;
    ASSERT_TRUE(server.Running()) << server.StartupLog().toStdString();
    const QString url = server.HttpUrl(QString());
    const int port = url.section(QLatin1Char(':'), -1).toInt();
    EXPECT_EQ(Exchange(port, GetParam().request), GetParam().status);
    EXPECT_EQ(server.Requests().size(), GetParam().stored ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, VendorRawRequestTest,
    ::testing::Values(
        RawCase{"ProgramsCheck", Form(kCheck, "cmd=check&appname=QUIBLEX+-+Korvane&version=1.0"),
                "200", true},
        RawCase{"ChunkedBody",
                Post(kFeedback,
                     "Content-Type: application/x-www-form-urlencoded\r\n"
                     "Transfer-Encoding: chunked\r\n",
                     "1b\r\ncmd=feedback&feedback=hello\r\n0\r\n\r\n"),
                "411", false},
        RawCase{"NoLength",
                Post(kFeedback, "Content-Type: application/x-www-form-urlencoded\r\n",
                     "cmd=feedback&feedback=hello"),
                "411", false},
        RawCase{"Deflated",
                Form(kFeedback, qCompress("cmd=feedback&feedback=x").mid(4),
                     "Content-Encoding: deflate\r\n"),
                "415", false},
        RawCase{"Gzipped", Form(kFeedback, "\x1f\x8b", "Content-Encoding: gzip\r\n"), "415", false},
        RawCase{"IdentityCodingIsNoCoding",
                Form(kFeedback, "cmd=feedback&feedback=plain", "Content-Encoding: identity\r\n"),
                "200", true},
        RawCase{"Multipart",
                Post(kFeedback,
                     "Content-Type: multipart/form-data; boundary=x\r\nContent-Length: 4\r\n",
                     "--x\r\n"),
                "415", false},
        RawCase{"LengthBeyondAnyForm",
                Post(kFeedback,
                     "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                         QByteArray::number(qulonglong(MaxFormBodyBytes() + 1)) + "\r\n",
                     ""),
                "413", false},
        RawCase{"NegativeLength",
                Post(kCheck,
                     "Content-Type: application/x-www-form-urlencoded\r\n"
                     "Content-Length: -1\r\n",
                     ""),
                "400", false},
        RawCase{"TwoLengths",
                Post(kCheck,
                     "Content-Type: application/x-www-form-urlencoded\r\n"
                     "Content-Length: 9\r\nContent-Length: 19\r\n",
                     "cmd=check&appname=x"),
                "400", false},
        RawCase{"Get", "GET /php/check2.php HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", "405", false},
        RawCase{"ChunkedPut",
                "PUT /php/check2.php HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                "Transfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n",
                "405", false},
        RawCase{"OtherPath", Form("/admin.php", "cmd=check"), "404", false},
        RawCase{"UnknownField", Form(kCheck, "cmd=check&appname=x&exploit=1"), "400", false},
        RawCase{"OtherEndpointsCommand", Form(kFeedback, "cmd=check&feedback=x"), "400", false},
        RawCase{"RepeatedField", Form(kFeedback, "cmd=feedback&feedback=a&feedback=b"), "400",
                false},
        RawCase{"NotUtf8", Form(kFeedback, "cmd=feedback&feedback=%C0%AF"), "400", false},
        RawCase{"FieldOverItsCap", Form(kCheck, "cmd=check&guid=" + QByteArray(65, 'f')), "400",
                false},
        RawCase{"JunkLine", QByteArray("\x16\x03\x01\x00\xff junk \x01\r\n\r\n", 16), "400",
                false}),
    CaseName());

struct FloodCase {
    const char* name;
    HostileKind kind;
    std::string status;
};

class VendorFloodTest : public ::testing::TestWithParam<FloodCase> {};

// 128 MiB offered (or 64 MiB once inflated): what the server holds must stay
// far below it.
TEST_P(VendorFloodTest, IsRefusedWithoutReachingTheServersMemory) {
    VendorServerProcess server;
    ASSERT_TRUE(server.Running()) << server.StartupLog().toStdString();
    const int port = server.HttpUrl(QString()).section(QLatin1Char(':'), -1).toInt();
    const long before = server.PeakResidentKb();
    ASSERT_GT(before, 0);

    const AttackOutcome outcome = Attack(GetParam().kind, port, 128u << 20, {}, 0);
    EXPECT_EQ(outcome.Result, GetParam().status);
    EXPECT_LT(outcome.BytesSent, 64u << 20) << "the server stopped taking bytes early";
    EXPECT_LT(server.PeakResidentKb() - before, 32 * 1024);
    EXPECT_TRUE(server.Requests().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Floods, VendorFloodTest,
    ::testing::Values(FloodCase{"EndlessChunks", HostileKind::Chunked, "411"},
                      FloodCase{"HugeLength", HostileKind::Oversized, "413"},
                      FloodCase{"InflatingBody", HostileKind::Compressed, "415"},
                      FloodCase{"EndlessHeaders", HostileKind::HeaderFlood, "400"}),
    CaseName());

TEST(VendorHostileTest, SlowClientsAreCutAtTheDeadlineAndTheProgramIsStillServed) {
    VendorServerProcess server(
        {.ExtraArguments = {QStringLiteral("--deadline-ms"), QStringLiteral("1000"),
                            QStringLiteral("--workers"), QStringLiteral("2")}});
    ASSERT_TRUE(server.Running()) << server.StartupLog().toStdString();
    const int port = server.HttpUrl(QString()).section(QLatin1Char(':'), -1).toInt();

    // Two trickling clients, one per worker; each would need half a minute.
    AttackOutcome slow[2];
    {
        std::jthread first([&] { slow[0] = Attack(HostileKind::Slow, port, 0, {}, 0); });
        std::jthread second([&] { slow[1] = Attack(HostileKind::Slow, port, 0, {}, 1); });
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_TRUE(PostForm(server.HttpUrl(QStringLiteral("/php/check2.php")),
                             {QStringLiteral("cmd=check")}, Patient())
                        .startsWith(QStringLiteral("<version>")));
    }
    for (const AttackOutcome& outcome : slow) {
        EXPECT_NE(outcome.Result, "no answer");
        EXPECT_LT(outcome.BytesSent, 60u) << "cut off long before its request was whole";
    }
    EXPECT_EQ(server.Requests().size(), 1);
}

TEST(VendorHostileTest, AFullQueueIsAnswered503AtOnce) {
    VendorServerProcess server(
        {.ExtraArguments = {QStringLiteral("--deadline-ms"), QStringLiteral("3000"),
                            QStringLiteral("--workers"), QStringLiteral("1"),
                            QStringLiteral("--queue"), QStringLiteral("1")}});
    ASSERT_TRUE(server.Running()) << server.StartupLog().toStdString();
    const int port = server.HttpUrl(QString()).section(QLatin1Char(':'), -1).toInt();

    // Two silent connections take the worker and then the queue's one place;
    // a third finds no room. Its answer comes long before the silent ones'
    // deadline.
    std::jthread first([port] { Exchange(port, QByteArray(), std::chrono::seconds(5)); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::jthread second([port] { Exchange(port, QByteArray(), std::chrono::seconds(5)); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(Exchange(port, Form(kCheck, "cmd=check"), std::chrono::seconds(2)), "503");
    first.join();
    second.join();
    EXPECT_TRUE(server.Requests().isEmpty());
    // Once they are gone, the program is served again.
    EXPECT_EQ(Exchange(port, Form(kCheck, "cmd=check")), "200");
}

TEST(VendorHostileTest, TheLogCannotDriveATerminalOrForgeLines) {
    VendorServerProcess server({.KeepLog = true});
    ASSERT_TRUE(server.Running()) << server.StartupLog().toStdString();
    const int port = server.HttpUrl(QString()).section(QLatin1Char(':'), -1).toInt();
    Exchange(port, "GET /%1b%5b2J%1b%5d0;owned%07%0d%0ahttp%20127.0.0.1%20POST%20/php/"
                   "feedback.php%20200 HTTP/1.1\r\nHost: x\r\n\r\n");
    Exchange(port, Form(kCheck, "cmd=check&%1b%5b31m=1"));

    QByteArray log;
    for (int i = 0; i < 50 && log.count('\n') < 3; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        log = server.Log();
    }
    ASSERT_GE(log.count('\n'), 3) << log.toStdString();
    for (const char c : log) {
        const auto byte = static_cast<unsigned char>(c);
        ASSERT_TRUE(byte == '\n' || (byte >= 0x20 && byte < 0x7f)) << int(byte);
    }
    EXPECT_TRUE(log.contains("\\x1b[2J\\x1b]0;owned\\x07\\x0d\\x0ahttp 127.0.0.1 POST"))
        << log.toStdString();
    EXPECT_EQ(log.count(" 200\n"), 0) << "no forged line of an accepted request";
}

// The handshake counts against the deadline too: a client that announces a
// large TLS record and trickles it a byte at a time is let go, as one that
// trickles a request. Each byte comes well within any wait for the next.
TEST(VendorHostileTest, ATricklingTlsHandshakeIsCutAtTheDeadline) {
    VendorServerProcess server(
        {.Https = true,
         .ExtraArguments = {QStringLiteral("--deadline-ms"), QStringLiteral("1000"),
                            QStringLiteral("--workers"), QStringLiteral("1")}});
    ASSERT_TRUE(server.Running()) << server.StartupLog().toStdString();
    const int port = server.HttpsUrl(QString()).section(QLatin1Char(':'), -1).toInt();

    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    // A handshake record of 16 KiB, of which one byte comes every 200 ms.
    ASSERT_EQ(::send(fd, "\x16\x03\x01\x40\x00", 5, MSG_NOSIGNAL), 5);
    int trickled = 0;
    bool closed = false;
    for (; trickled < 40 && !closed; ++trickled) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        char byte = 0;
        closed = ::send(fd, &byte, 1, MSG_NOSIGNAL) != 1 || ::recv(fd, &byte, 1, MSG_DONTWAIT) == 0;
    }
    ::close(fd);
    EXPECT_TRUE(closed) << "the server waited out all " << trickled << " bytes";
    EXPECT_LT(trickled, 30);

    // The one worker is free again for the program.
    PostOptions options = Patient();
    options.CaFile = server.CaFile();
    EXPECT_TRUE(PostForm(server.HttpsUrl(QStringLiteral("/php/check2.php")),
                         {QStringLiteral("cmd=check")}, options)
                    .startsWith(QStringLiteral("<version>")));
}
