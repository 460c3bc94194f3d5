// korvane-cli: batch analysis over the same core as the Korvane window.
#include "about/VersionInfo.h"
#include "analysis/BASS.h"
#include "cli/CheckCommand.h"
#include "cli/CliSupport.h"

#include <QCoreApplication>

#include <cstdlib>
#include <stdexcept>

extern "C" {
#include <libavutil/log.h>
}

namespace {

QString MainHelp() {
    return QStringLiteral(
        "Usage: korvane-cli COMMAND [OPTIONS]\n"
        "Tells whether audio files (and the sound of video files) were lossy re-encoded.\n\n"
        "Commands:\n"
        "  check PATH...            analyse files and folders, one line per file\n\n"
        "Options:\n"
        "  -h, --help               show this help (COMMAND --help for a command's own)\n"
        "  -v, --version            show the version\n");
}

// The version is the one the build wrote into this executable's version block.
int PrintVersion() {
    TEXEVersionData version;
    try {
        ReadVersionInfo(QCoreApplication::applicationFilePath(), version);
    } catch (const std::runtime_error& error) {
        PrintText(stderr, QStringLiteral("korvane-cli: %1\n").arg(QString::fromUtf8(error.what())));
        return kExitError;
    }
    PrintText(stdout, QStringLiteral("korvane-cli %1\n").arg(version.ProductVersion));
    return kExitClean;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("korvane-cli"));

    // Damaged files make FFmpeg talk; the verdicts say what matters.
    if (!std::getenv("KORVANE_FFMPEG_LOG"))
        av_log_set_level(AV_LOG_QUIET);

    const QStringList arguments = QCoreApplication::arguments();
    const QString command = arguments.value(1);
    if (command.isEmpty())
        return UsageError(QStringLiteral("no command given"));
    if (command == u"-h" || command == u"--help" || command == u"help") {
        PrintText(stdout, MainHelp());
        return kExitClean;
    }
    if (command == u"-v" || command == u"--version")
        return PrintVersion();

    BASS_Init(0, 44100, 0, nullptr, nullptr);
    int status = kExitUsage;
    if (command == u"check")
        status = RunCheckCommand(arguments);
    else
        UsageError(QStringLiteral("unknown command '%1'").arg(command));
    BASS_Free();
    return status;
}
