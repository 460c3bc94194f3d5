// PostForm end to end against the reference vendor server and scripted
// servers on loopback.
#include "services/FormPost.h"

#include "ScriptedServer.h"
#include "VendorServerProcess.h"
#include "support/NamedCases.h"

#include <QElapsedTimer>
#include <chrono>
#include <gtest/gtest.h>
#include <ostream>
#include <thread>

using namespace vendortest;

namespace {

// Both time-outs set to `timeoutMs`.
PostOptions WithTimeouts(int timeoutMs, const QString& caFile = QString()) {
    PostOptions options;
    options.ConnectTimeoutMs = timeoutMs;
    options.ResponseTimeoutMs = timeoutMs;
    options.CaFile = caFile;
    return options;
}

PostOptions QuickOptions(const QString& caFile = QString()) {
    return WithTimeouts(5000, caFile);
}

// The check endpoint of a loopback listener.
QString CheckUrl(const SilentListener& listener) {
    return QStringLiteral("http://127.0.0.1:%1/php/check2.php").arg(listener.Port());
}

const QStringList kFeedbackFields{
    QStringLiteral("cmd=feedback"),
    QStringLiteral("appname=QUIBLEX - Korvane"),
    QStringLiteral("version=1.0"),
    QStringLiteral("feedback=I like it! (Gefällt mir)\rA & B = C + 100% ü/ß \"quoted\" <tag>"),
    QStringLiteral("email=user+tag@example.org"),
};

} // namespace

struct EncodingCase {
    const char* name;
    QStringList fields;
    QByteArray body;
};

class FormEncodingTest : public ::testing::TestWithParam<EncodingCase> {};

TEST_P(FormEncodingTest, EncodesNameAndValueSeparately) {
    EXPECT_EQ(EncodeFormFields(GetParam().fields), GetParam().body);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FormEncodingTest,
    ::testing::Values(
        EncodingCase{"Plain",
                     {QStringLiteral("cmd=check"), QStringLiteral("version=1.0")},
                     "cmd=check&version=1.0"},
        EncodingCase{"BlanksBecomePlus",
                     {QStringLiteral("appname=QUIBLEX - Korvane")},
                     "appname=QUIBLEX+-+Korvane"},
        EncodingCase{"KeptPunctuation", {QStringLiteral("a=*-._")}, "a=*-._"},
        EncodingCase{"OtherAsciiEscaped", {QStringLiteral("a=~!+&=%/")}, "a=%7E%21%2B%26%3D%25%2F"},
        EncodingCase{"Utf8BytesUpperHex", {QStringLiteral("s=\u00fc\u20ac")}, "s=%C3%BC%E2%82%AC"},
        EncodingCase{"FirstEqualsSplits", {QStringLiteral("k=a=b")}, "k=a%3Db"},
        EncodingCase{"LineBreaks", {QStringLiteral("f=a\rb\nc")}, "f=a%0Db%0Ac"},
        EncodingCase{"EmptyValueKept", {QStringLiteral("email=")}, "email="},
        EncodingCase{"LineWithoutEqualsLeftOut",
                     {QStringLiteral("a=1"), QStringLiteral("junk"), QStringLiteral("b=2")},
                     "a=1&b=2"},
        EncodingCase{"NothingAtAll", {}, ""}),
    CaseName());

TEST(PostFormTest, FieldsArriveIntactInTheirOrderOverHttpAndHttps) {
    VendorServerProcess server({.Https = true});
    ASSERT_TRUE(server.Running()) << server.StartupLog().toStdString();

    EXPECT_EQ(PostForm(server.HttpUrl(QStringLiteral("/php/feedback.php")), kFeedbackFields,
                       QuickOptions()),
              QStringLiteral("OK"));
    EXPECT_EQ(PostForm(server.HttpsUrl(QStringLiteral("/php/feedback.php")), kFeedbackFields,
                       QuickOptions(server.CaFile())),
              QStringLiteral("OK"));

    const QList<StoredRequest> stored = server.Requests(QStringLiteral("feedback"));
    ASSERT_EQ(stored.size(), 2);
    EXPECT_EQ(stored[0].Scheme, QStringLiteral("http"));
    EXPECT_EQ(stored[1].Scheme, QStringLiteral("https"));
    for (const StoredRequest& request : stored) {
        ASSERT_EQ(request.Fields.size(), kFeedbackFields.size());
        for (qsizetype i = 0; i < kFeedbackFields.size(); ++i) {
            const QString& line = kFeedbackFields[i];
            const qsizetype equals = line.indexOf(QLatin1Char('='));
            EXPECT_EQ(request.Fields[i].first, line.left(equals));
            EXPECT_EQ(request.Fields[i].second, line.mid(equals + 1));
        }
    }
}

TEST(PostFormTest, SendsConnectionCloseAndTheUtf8FormType) {
    ScriptedServer server([](const httplib::Request& request, httplib::Response& response) {
        response.set_content(request.get_header_value("Connection") + "|" +
                                 request.get_header_value("Content-Type") + "|" + request.body,
                             "text/plain");
    });
    ASSERT_GT(server.Port(), 0);
    EXPECT_EQ(PostForm(server.Url(), {QStringLiteral("cmd=check"), QStringLiteral("x=a b")},
                       QuickOptions()),
              QStringLiteral("close|application/x-www-form-urlencoded; charset=utf-8|"
                             "cmd=check&x=a+b"));
}

TEST(PostFormTest, TlsCertificatesAreVerified) {
    VendorServerProcess server({.Https = true});
    ASSERT_TRUE(server.Running()) << server.StartupLog().toStdString();
    // Without our test CA the self-signed certificate must be refused.
    EXPECT_THROW(PostForm(server.HttpsUrl(QStringLiteral("/php/feedback.php")), kFeedbackFields,
                          QuickOptions()),
                 PostFormError);
    EXPECT_TRUE(server.Requests().isEmpty());
}

TEST(PostFormTest, HttpsFailsWithoutListenerAndHttpAnswers) {
    VendorServerProcess server;
    ASSERT_TRUE(server.Running()) << server.StartupLog().toStdString();
    const QString refused = QStringLiteral("https://127.0.0.1:%1/php/check2.php").arg(ClosedPort());
    EXPECT_THROW(PostForm(refused, {QStringLiteral("cmd=check")}, QuickOptions()), PostFormError);
    EXPECT_TRUE(PostForm(server.HttpUrl(QStringLiteral("/php/check2.php")),
                         {QStringLiteral("cmd=check")}, QuickOptions())
                    .startsWith(QStringLiteral("<version>2.0</version>")));
}

TEST(PostFormTest, ErrorStatusRaisesOnlyOverPlainHttp) {
    VendorServerProcess server({.Https = true});
    ASSERT_TRUE(server.Running()) << server.StartupLog().toStdString();
    const QStringList fields{QStringLiteral("cmd=check")};

    try {
        PostForm(server.HttpUrl(QStringLiteral("/php/missing.php")), fields, QuickOptions());
        ADD_FAILURE() << "an http 404 must raise";
    } catch (const PostFormError& error) {
        EXPECT_NE(std::string(error.what()).find("404"), std::string::npos) << error.what();
    }
    // The secure transport hands back the body of any status; the scheme test
    // ignores case.
    QString https = server.HttpsUrl(QStringLiteral("/php/missing.php"));
    https.replace(0, 5, QStringLiteral("HTTPS"));
    EXPECT_EQ(PostForm(https, fields, QuickOptions(server.CaFile())),
              QStringLiteral("Not Found\r\n"));
}

TEST(PostFormTest, AServerThatNeverAnswersIsGivenUpOnWithinTheTimeouts) {
    SilentListener silent;
    ASSERT_GT(silent.Port(), 0);
    const PostOptions options = WithTimeouts(300);
    QElapsedTimer clock;
    clock.start();
    EXPECT_THROW(PostForm(CheckUrl(silent), {QStringLiteral("cmd=check")}, options), PostFormError);
    // The ten-second defaults would take twenty; the injected ones well under five.
    EXPECT_LT(clock.elapsed(), 5000);
}

// The request waits on a server that never answers, with time-outs of a
// minute; the stop abandons it at once, wherever it is.
TEST(PostFormTest, AStopAbandonsARequestThatWaitsForAnAnswer) {
    SilentListener silent;
    ASSERT_GT(silent.Port(), 0);
    const PostOptions options = WithTimeouts(60000);
    std::stop_source stop;
    bool stopped = false;
    QElapsedTimer clock;
    clock.start();
    {
        std::jthread posting([&] {
            try {
                PostForm(CheckUrl(silent), {QStringLiteral("cmd=check")}, options,
                         stop.get_token());
            } catch (const PostFormStopped&) {
                stopped = true;
            }
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(300)); // connected and waiting
        stop.request_stop();
    }
    EXPECT_TRUE(stopped);
    EXPECT_LT(clock.elapsed(), 10000) << "abandoned, not left to run into its time-outs";

    // Asked to stop beforehand: no request at all.
    EXPECT_THROW(
        PostForm(CheckUrl(silent), {QStringLiteral("cmd=check")}, options, stop.get_token()),
        PostFormStopped);
}

struct BodySizeCase {
    const char* name;
    qint64 bytes;
    bool chunked;
    bool accepted;
};

class BodyCapTest : public ::testing::TestWithParam<BodySizeCase> {};

TEST_P(BodyCapTest, AnswersAboveOneMebibyteAreRefused) {
    const BodySizeCase& c = GetParam();
    const std::string body(static_cast<size_t>(c.bytes), 'x');
    ScriptedServer server([&body, &c](const httplib::Request&, httplib::Response& response) {
        if (!c.chunked) {
            response.set_content(body, "text/plain");
            return;
        }
        // No length announced: the cap must hold while the body streams in.
        response.set_chunked_content_provider(
            "text/plain", [&body](size_t offset, httplib::DataSink& sink) {
                if (offset >= body.size()) {
                    sink.done();
                    return true;
                }
                const size_t piece = std::min<size_t>(64 * 1024, body.size() - offset);
                return sink.write(body.data() + offset, piece);
            });
    });
    ASSERT_GT(server.Port(), 0);
    if (c.accepted) {
        EXPECT_EQ(PostForm(server.Url(), {QStringLiteral("cmd=check")}, QuickOptions()).size(),
                  c.bytes);
    } else {
        EXPECT_THROW(PostForm(server.Url(), {QStringLiteral("cmd=check")}, QuickOptions()),
                     PostFormError);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BodyCapTest,
    ::testing::Values(BodySizeCase{"ExactlyOneMebibyte", 1 << 20, false, true},
                      BodySizeCase{"OneByteMore", (1 << 20) + 1, false, false},
                      BodySizeCase{"ChunkedOneByteMore", (1 << 20) + 1, true, false},
                      BodySizeCase{"ChunkedEightMebibytes", 8 << 20, true, false}),
    CaseName());

struct CharsetCase {
    const char* name;
    std::string body;
    std::string type;
    QString text;
};

class CharsetTest : public ::testing::TestWithParam<CharsetCase> {};

TEST_P(CharsetTest, BodyIsDecodedAsDeclared) {
    ScriptedServer server(Answering(GetParam().body, GetParam().type));
    ASSERT_GT(server.Port(), 0);
    EXPECT_EQ(PostForm(server.Url(), {QStringLiteral("cmd=check")}, QuickOptions()),
              GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CharsetTest,
    ::testing::Values(CharsetCase{"Utf8", "caf\xC3\xA9", "text/plain; charset=utf-8",
                                  QStringLiteral("caf\u00e9")},
                      CharsetCase{"Latin1", "caf\xE9", "text/plain; charset=ISO-8859-1",
                                  QStringLiteral("caf\u00e9")},
                      CharsetCase{"QuotedName", "caf\xE9", "text/plain; charset=\"iso-8859-1\"",
                                  QStringLiteral("caf\u00e9")},
                      CharsetCase{"UndeclaredIsUtf8", "caf\xC3\xA9", "text/plain",
                                  QStringLiteral("caf\u00e9")},
                      CharsetCase{"UnknownIsUtf8", "caf\xC3\xA9",
                                  "text/plain; charset=x-unheard-of", QStringLiteral("caf\u00e9")}),
    CaseName());
