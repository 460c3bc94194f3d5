// korvane-vendor-load: the reference vendor server under honest load and
// hostile clients on loopback, killed and restarted; prints the figures and
// fails when an acknowledged request was lost, doubled or altered.
#include "LoadRun.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Loads korvane-vendor-server on loopback with honest and hostile clients, kills it "
        "under load, restarts it on the same database and checks that every acknowledged "
        "request is stored exactly once."));
    parser.addHelpOption();
    const QCommandLineOption serverOption(QStringLiteral("server"),
                                          QStringLiteral("korvane-vendor-server to run."),
                                          QStringLiteral("PATH"));
    const QCommandLineOption workOption(QStringLiteral("work"),
                                        QStringLiteral("Folder for the database and the log."),
                                        QStringLiteral("DIR"), QDir::tempPath() + "/korvane-load");
    const QCommandLineOption secondsOption(QStringLiteral("seconds"),
                                           QStringLiteral("Steady load time (default 20)."),
                                           QStringLiteral("S"), QStringLiteral("20"));
    const QCommandLineOption afterOption(
        QStringLiteral("after-kill"),
        QStringLiteral("Load time after the kill and restart; 0 kills nothing (default 5)."),
        QStringLiteral("S"), QStringLiteral("5"));
    const QCommandLineOption clientsOption(QStringLiteral("clients"),
                                           QStringLiteral("Honest clients (default 32)."),
                                           QStringLiteral("N"), QStringLiteral("32"));
    const QCommandLineOption hostileOption(
        QStringLiteral("hostile"),
        QStringLiteral("Clients of each hostile kind, slow ones twice as many (default 2)."),
        QStringLiteral("N"), QStringLiteral("2"));
    const QCommandLineOption serverArgsOption(
        QStringLiteral("server-arg"),
        QStringLiteral("An argument for the server (repeat), e.g. --server-arg=--workers=16."),
        QStringLiteral("ARG"));
    parser.addOptions({serverOption, workOption, secondsOption, afterOption, clientsOption,
                       hostileOption, serverArgsOption});
    parser.process(app);
    if (!parser.isSet(serverOption)) {
        std::fprintf(stderr, "korvane-vendor-load: --server is required\n");
        return 2;
    }

    LoadPlan plan;
    plan.ServerProgram = parser.value(serverOption);
    plan.WorkFolder = parser.value(workOption);
    plan.ServerArguments = parser.values(serverArgsOption);
    plan.SteadySeconds = parser.value(secondsOption).toDouble();
    plan.AfterKillSeconds = parser.value(afterOption).toDouble();
    plan.HonestClients = parser.value(clientsOption).toInt();
    const int hostile = parser.value(hostileOption).toInt();
    plan.Hostile = {{HostileKind::Slow, 2 * hostile},   {HostileKind::Chunked, hostile},
                    {HostileKind::Compressed, hostile}, {HostileKind::Oversized, hostile},
                    {HostileKind::Garbage, hostile},    {HostileKind::HeaderFlood, hostile}};

    const LoadReport report = RunLoad(plan);
    std::fputs(FormatReport(plan, report).toUtf8().constData(), stdout);
    const bool intact = report.Started && report.Lost == 0 && report.Doubled == 0 &&
                        report.Altered == 0 && report.Strays == 0 &&
                        (plan.AfterKillSeconds <= 0 || report.Restarted);
    return intact ? 0 : 1;
}
