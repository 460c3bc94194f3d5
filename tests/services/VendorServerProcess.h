#pragma once

#include <QList>
#include <QPair>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

namespace vendortest {

// Makes a self-signed certificate for 127.0.0.1 with the openssl tool;
// returns false when the tool fails. The certificate is its own CA file.
bool MakeSelfSignedCertificate(const QString& certFile, const QString& keyFile);

struct StoredRequest {
    QString Endpoint; // "check" or "feedback"
    QString Scheme;   // "http" or "https"
    QList<QPair<QString, QString>> Fields;

    QString Field(const QString& name) const;
};

struct ServerOptions {
    QString Version = QStringLiteral("2.0");
    QString Url = QStringLiteral("https://downloads.example.org/korvane-2.0.tar.xz");
    bool Https = false;
    bool AnswerError = false;
    // The body that confirms a feedback; empty leaves the server's "OK".
    QString FeedbackAnswer = QString();
    // More of the server's options (--deadline-ms, --workers, --queue).
    QStringList ExtraArguments = {};
    // Keep the server's log (stderr) for Log() instead of passing it on.
    bool KeepLog = false;
};

// korvane-vendor-server running on loopback on free ports for one test; its
// database and certificate live in a temporary folder. Stopped on destruction.
class VendorServerProcess {
public:
    explicit VendorServerProcess(const ServerOptions& options = {});
    ~VendorServerProcess();

    bool Running() const { return httpPort_ > 0 && (!https_ || httpsPort_ > 0); }
    QString HttpUrl(const QString& path) const;
    QString HttpsUrl(const QString& path) const;
    QString CaFile() const { return caFile_; }
    QString StartupLog() const { return log_; }
    // Its stderr so far, when the options asked to keep it.
    QByteArray Log() const;
    qint64 Pid() const;
    // The server's resident memory at its peak so far, in KiB (Linux).
    long PeakResidentKb() const;

    // What the server stored so far, oldest first; `endpoint` empty for all.
    QList<StoredRequest> Requests(const QString& endpoint = QString()) const;

private:
    QTemporaryDir dir_;
    std::unique_ptr<QProcess> process_;
    bool https_ = false;
    int httpPort_ = 0;
    int httpsPort_ = 0;
    QString caFile_;
    QString dbFile_;
    QString logFile_;
    QString log_;
};

// A loopback port that accepts connections (the kernel completes them) but
// never reads or answers: a server that hangs.
class SilentListener {
public:
    SilentListener();
    ~SilentListener();
    int Port() const { return port_; }

private:
    int socket_ = -1;
    int port_ = 0;
};

// A loopback port with nothing listening on it.
int ClosedPort();

} // namespace vendortest
