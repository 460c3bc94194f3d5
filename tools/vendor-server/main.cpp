// korvane-vendor-server: the vendor web server's two endpoints for Korvane,
// the update check and the feedback form, over http and optionally https.
#include "GuardedServer.h"
#include "RequestStore.h"
#include "VendorEndpoints.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>
#include <csignal>
#include <functional>
#include <httplib.h>
#include <iostream>
#include <memory>
#include <pthread.h>
#include <signal.h>
#include <thread>
#include <unistd.h>

namespace {

struct Listener {
    std::string scheme;
    std::unique_ptr<httplib::Server> server;
    std::function<void()> widenBacklog;
    std::thread thread;
};

std::string HostForUrl(const std::string& address) {
    return address.find(':') != std::string::npos ? "[" + address + "]" : address;
}

// Binds the listener to `port` (0: any free port) and reports the address on
// stdout, one line, so a caller can learn the port.
int Bind(Listener& listener, const std::string& address, int port) {
    httplib::Server& server = *listener.server;
    const std::string& scheme = listener.scheme;
    const int bound = port == 0 ? server.bind_to_any_port(address)
                                : (server.bind_to_port(address, port) ? port : -1);
    if (bound < 0) {
        throw std::runtime_error("cannot listen on " + address + " port " + std::to_string(port));
    }
    listener.widenBacklog();
    std::cout << "listening " << scheme << "://" << HostForUrl(address) << ':' << bound
              << std::endl;
    return bound;
}

int ParseNumber(const QString& text, const char* option, int lowest, int highest) {
    bool ok = false;
    const int number = text.toInt(&ok);
    if (!ok || number < lowest || number > highest) {
        throw std::invalid_argument(std::string("--") + option + " needs a number from " +
                                    std::to_string(lowest) + " to " + std::to_string(highest));
    }
    return number;
}

int ParsePort(const QString& text, const char* option) {
    return ParseNumber(text, option, 0, 65535);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("korvane-vendor-server"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Answers Korvane's update check (/php/check2.php) and stores its feedback "
                       "(/php/feedback.php) in an SQLite database. Port 0 picks a free port; the "
                       "addresses in use are printed as \"listening SCHEME://ADDR:PORT\"."));
    parser.addHelpOption();
    const QCommandLineOption httpOption(QStringLiteral("http"), QStringLiteral("Plain http port."),
                                        QStringLiteral("PORT"));
    const QCommandLineOption httpsOption(QStringLiteral("https"), QStringLiteral("https port."),
                                         QStringLiteral("PORT"));
    const QCommandLineOption certOption(QStringLiteral("cert"),
                                        QStringLiteral("Certificate file (PEM) for https."),
                                        QStringLiteral("FILE"));
    const QCommandLineOption keyOption(QStringLiteral("key"),
                                       QStringLiteral("Private key file (PEM) for https."),
                                       QStringLiteral("FILE"));
    const QCommandLineOption versionOption(QStringLiteral("version"),
                                           QStringLiteral("Version offered, e.g. 2.0."),
                                           QStringLiteral("TEXT"));
    const QCommandLineOption urlOption(
        QStringLiteral("url"), QStringLiteral("Download address offered."), QStringLiteral("URL"));
    const QCommandLineOption dbOption(QStringLiteral("db"),
                                      QStringLiteral("SQLite database for received forms."),
                                      QStringLiteral("FILE"));
    const QCommandLineOption listenOption(
        QStringLiteral("listen"), QStringLiteral("Address to listen on (default 127.0.0.1)."),
        QStringLiteral("ADDR"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption errorOption(QStringLiteral("error"),
                                         QStringLiteral("Answer every update check with ERROR."));
    const QCommandLineOption feedbackAnswerOption(
        QStringLiteral("feedback-answer"),
        QStringLiteral("Body that confirms a stored feedback (default OK)."),
        QStringLiteral("TEXT"), QStringLiteral("OK"));
    const QCommandLineOption workersOption(QStringLiteral("workers"),
                                           QStringLiteral("Requests served at once (default 16)."),
                                           QStringLiteral("N"), QStringLiteral("16"));
    const QCommandLineOption queueOption(
        QStringLiteral("queue"),
        QStringLiteral("Connections waiting for a worker before others are refused with 503 "
                       "(default 64)."),
        QStringLiteral("N"), QStringLiteral("64"));
    const QCommandLineOption deadlineOption(
        QStringLiteral("deadline-ms"),
        QStringLiteral("Time one connection may take from accept to answer (default 10000)."),
        QStringLiteral("MS"), QStringLiteral("10000"));
    parser.addOptions({httpOption, httpsOption, certOption, keyOption, versionOption, urlOption,
                       dbOption, listenOption, errorOption, feedbackAnswerOption, workersOption,
                       queueOption, deadlineOption});
    parser.process(app);

    try {
        for (const auto* required : {&httpOption, &versionOption, &urlOption, &dbOption}) {
            if (!parser.isSet(*required)) {
                throw std::invalid_argument("--" + required->names().first().toStdString() +
                                            " is required");
            }
        }
        const bool https = parser.isSet(httpsOption);
        if (https && (!parser.isSet(certOption) || !parser.isSet(keyOption))) {
            throw std::invalid_argument("--https needs --cert and --key");
        }

        OfferedRelease release;
        release.Version = parser.value(versionOption).toStdString();
        release.Url = parser.value(urlOption).toStdString();
        release.AnswerError = parser.isSet(errorOption);
        release.FeedbackAnswer = parser.value(feedbackAnswerOption).toStdString();
        ConnectionLimits limits;
        limits.Workers = ParseNumber(parser.value(workersOption), "workers", 1, 1024);
        limits.QueueLength = ParseNumber(parser.value(queueOption), "queue", 0, 65536);
        limits.RequestDeadline = std::chrono::milliseconds(
            ParseNumber(parser.value(deadlineOption), "deadline-ms", 100, 600000));
        // Headers beyond what any client of ours sends, and the largest form.
        limits.MaxRequestBytes = 16 * 1024 + MaxFormBodyBytes();
        RequestStore store(parser.value(dbOption).toStdString());
        const std::string address = parser.value(listenOption).toStdString();

        // Signals are taken by sigwait below, not by whichever thread they hit.
        sigset_t stopSignals;
        sigemptyset(&stopSignals);
        sigaddset(&stopSignals, SIGINT);
        sigaddset(&stopSignals, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

        std::vector<Listener> listeners;
        auto plain = std::make_unique<GuardedServer>(limits);
        GuardedServer* plainServer = plain.get();
        listeners.push_back(
            {"http", std::move(plain), [plainServer] { plainServer->widenBacklog(); }, {}});
        const int httpPort = ParsePort(parser.value(httpOption), "http");
        int httpsPort = 0;
        if (https) {
            httpsPort = ParsePort(parser.value(httpsOption), "https");
            auto secure = std::make_unique<GuardedSslServer>(
                parser.value(certOption).toLocal8Bit().constData(),
                parser.value(keyOption).toLocal8Bit().constData(), limits);
            if (!secure->is_valid()) {
                throw std::invalid_argument("cannot use the certificate or key for https");
            }
            GuardedSslServer* secureServer = secure.get();
            listeners.push_back(
                {"https", std::move(secure), [secureServer] { secureServer->widenBacklog(); }, {}});
        }
        for (Listener& listener : listeners) {
            InstallVendorEndpoints(*listener.server, listener.scheme, release, store);
            Bind(listener, address, listener.scheme == "http" ? httpPort : httpsPort);
        }
        for (Listener& listener : listeners) {
            listener.thread = std::thread([&listener] {
                if (!listener.server->listen_after_bind()) {
                    std::cerr << "korvane-vendor-server: the " << listener.scheme
                              << " listener failed\n";
                    // Wake the main thread: a half-working server is no use.
                    kill(getpid(), SIGTERM);
                }
            });
        }

        int received = 0;
        sigwait(&stopSignals, &received);
        for (Listener& listener : listeners) {
            listener.server->stop();
        }
        for (Listener& listener : listeners) {
            listener.thread.join();
        }
    } catch (const std::exception& error) {
        std::cerr << "korvane-vendor-server: " << error.what() << '\n';
        return 2;
    }
    return 0;
}
