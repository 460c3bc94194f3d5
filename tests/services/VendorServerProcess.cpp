#include "VendorServerProcess.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vendortest {

namespace {

// Requests to loopback must not go to a proxy that the environment names.
class LoopbackWithoutProxy : public ::testing::Environment {
public:
    void SetUp() override {
        qputenv("no_proxy", "127.0.0.1,localhost");
        qputenv("NO_PROXY", "127.0.0.1,localhost");
    }
};

[[maybe_unused]] ::testing::Environment* const kLoopbackWithoutProxy =
    ::testing::AddGlobalTestEnvironment(new LoopbackWithoutProxy);

} // namespace

bool MakeSelfSignedCertificate(const QString& certFile, const QString& keyFile) {
    QProcess openssl;
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                   QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                   QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                   QStringLiteral("-keyout"), keyFile, QStringLiteral("-out"), certFile,
                   QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                   QStringLiteral("/CN=127.0.0.1"), QStringLiteral("-addext"),
                   QStringLiteral("subjectAltName=IP:127.0.0.1")});
    return openssl.waitForFinished(60000) && openssl.exitStatus() == QProcess::NormalExit &&
           openssl.exitCode() == 0;
}

QString StoredRequest::Field(const QString& name) const {
    for (const auto& field : Fields) {
        if (field.first == name) {
            return field.second;
        }
    }
    return QString();
}

VendorServerProcess::VendorServerProcess(const ServerOptions& options) : https_(options.Https) {
    dbFile_ = dir_.filePath(QStringLiteral("vendor.sqlite"));
    QStringList arguments{
        QStringLiteral("--http"), QStringLiteral("0"), QStringLiteral("--version"), options.Version,
        QStringLiteral("--url"),  options.Url,         QStringLiteral("--db"),      dbFile_};
    if (options.Https) {
        caFile_ = dir_.filePath(QStringLiteral("cert.pem"));
        const QString key = dir_.filePath(QStringLiteral("key.pem"));
        if (!MakeSelfSignedCertificate(caFile_, key)) {
            log_ = QStringLiteral("openssl could not make a certificate");
            return;
        }
        arguments << QStringLiteral("--https") << QStringLiteral("0") << QStringLiteral("--cert")
                  << caFile_ << QStringLiteral("--key") << key;
    }
    if (options.AnswerError) {
        arguments << QStringLiteral("--error");
    }
    if (!options.FeedbackAnswer.isEmpty()) {
        arguments << QStringLiteral("--feedback-answer") << options.FeedbackAnswer;
    }
    arguments << options.ExtraArguments;

    process_ = std::make_unique<QProcess>();
    if (options.KeepLog) {
        logFile_ = dir_.filePath(QStringLiteral("server.log"));
        process_->setStandardErrorFile(logFile_);
    } else {
        process_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    }
    process_->start(QStringLiteral(KORVANE_VENDOR_SERVER_PATH), arguments);
    static const QRegularExpression line(QStringLiteral("listening (https?)://[^\\s]+:(\\d+)"));
    const QDeadlineTimer deadline(30000);
    while (!Running() && !deadline.hasExpired() && process_->state() != QProcess::NotRunning) {
        if (!process_->canReadLine() && !process_->waitForReadyRead(200)) {
            continue;
        }
        while (process_->canReadLine()) {
            const QString text = QString::fromUtf8(process_->readLine());
            log_ += text;
            const QRegularExpressionMatch match = line.match(text);
            if (match.hasMatch()) {
                (match.captured(1) == QLatin1String("https") ? httpsPort_ : httpPort_) =
                    match.captured(2).toInt();
            }
        }
    }
}

VendorServerProcess::~VendorServerProcess() {
    if (process_ && process_->state() != QProcess::NotRunning) {
        process_->terminate();
        if (!process_->waitForFinished(10000)) {
            process_->kill();
            process_->waitForFinished(5000);
        }
    }
}

QByteArray VendorServerProcess::Log() const {
    QFile log(logFile_);
    return !logFile_.isEmpty() && log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
}

qint64 VendorServerProcess::Pid() const {
    return process_ && process_->state() == QProcess::Running ? process_->processId() : 0;
}

long VendorServerProcess::PeakResidentKb() const {
    QFile status(QStringLiteral("/proc/%1/status").arg(Pid()));
    if (Pid() == 0 || !status.open(QIODevice::ReadOnly)) {
        return 0;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:")) {
            return line.mid(6).trimmed().split(' ').value(0).toLong();
        }
    }
    return 0;
}

QString VendorServerProcess::HttpUrl(const QString& path) const {
    return QStringLiteral("http://127.0.0.1:%1%2").arg(httpPort_).arg(path);
}

QString VendorServerProcess::HttpsUrl(const QString& path) const {
    return QStringLiteral("https://127.0.0.1:%1%2").arg(httpsPort_).arg(path);
}

QList<StoredRequest> VendorServerProcess::Requests(const QString& endpoint) const {
    QList<StoredRequest> requests;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(dbFile_.toLocal8Bit().constData(), &db, SQLITE_OPEN_READONLY, nullptr) !=
        SQLITE_OK) {
        sqlite3_close(db);
        return requests;
    }
    sqlite3_busy_timeout(db, 5000);
    sqlite3_stmt* statement = nullptr;
    const char* sql = "SELECT r.id, r.endpoint, r.scheme, f.name, f.value FROM requests r "
                      "LEFT JOIN request_fields f ON f.request_id = r.id "
                      "ORDER BY r.id, f.position";
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK) {
        long long current = -1;
        while (sqlite3_step(statement) == SQLITE_ROW) {
            const auto text = [statement](int column) {
                const auto* bytes =
                    reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
                return QString::fromUtf8(bytes ? bytes : "");
            };
            const long long id = sqlite3_column_int64(statement, 0);
            if (id != current) {
                current = id;
                requests.append(StoredRequest{text(1), text(2), {}});
            }
            if (sqlite3_column_type(statement, 3) != SQLITE_NULL) {
                requests.last().Fields.append({text(3), text(4)});
            }
        }
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    if (!endpoint.isEmpty()) {
        requests.removeIf([&endpoint](const StoredRequest& r) { return r.Endpoint != endpoint; });
    }
    return requests;
}

namespace {

int BoundPort(int socket) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

int LoopbackSocket() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

SilentListener::SilentListener() {
    socket_ = LoopbackSocket();
    if (socket_ >= 0 && ::listen(socket_, 16) == 0) {
        port_ = BoundPort(socket_);
    }
}

SilentListener::~SilentListener() {
    if (socket_ >= 0) {
        ::close(socket_);
    }
}

int ClosedPort() {
    // Bound but never listening: connections to it are refused.
    static const int held = LoopbackSocket();
    return held >= 0 ? BoundPort(held) : 1;
}

} // namespace vendortest
