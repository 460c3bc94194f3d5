// korvane-cli: batch analysis over the same core as the Korvane window.
#include "about/VersionInfo.h"
#include "analysis/DecoderSetup.h"
#include "cli/CheckCommand.h"
#include "cli/CliSupport.h"
#include "cli/SpectrogramCommand.h"
#include "cli/TerminalText.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <cstdlib>
#include <memory>
#include <stdexcept>

namespace {

QString MainHelp() {
    return QStringLiteral(
        "Usage: korvane-cli COMMAND [OPTIONS]\n"
        "Tells whether audio files (and the sound of video files) were lossy re-encoded.\n\n"
        "Commands:\n"
        "  check PATH...            analyse files and folders, one line per file\n"
        "  check --files-from LIST  the same for the paths listed in LIST (- for stdin)\n"
        "  spectrogram FILE -o OUT.png [--size WxH] [--annotate]\n"
        "                           draw a file's spectrogram as a PNG picture\n\n"
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
        PrintText(
            stderr,
            QStringLiteral("korvane-cli: %1\n").arg(TerminalText(QString::fromUtf8(error.what()))));
        return kExitError;
    }
    PrintText(stdout, QStringLiteral("korvane-cli %1\n").arg(version.ProductVersion));
    return kExitClean;
}

} // namespace

int main(int argc, char* argv[]) {
    // Qt's offscreen platform complains about a missing runtime folder it
    // never needs here; every other message still gets through.
    static const QtMessageHandler qtHandler = qInstallMessageHandler(nullptr);
    qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext& context, const QString& text) {
            if (type == QtWarningMsg && text.startsWith(u"QStandardPaths: XDG_RUNTIME_DIR"))
                return;
            qtHandler(type, context, text);
        });

    // Text needs a GUI application object; it never opens a window, so it is
    // given the offscreen platform and works without a display.
    std::unique_ptr<QCoreApplication> app;
    if (SpectrogramCommandDrawsText(argc, argv)) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName(QStringLiteral("korvane-cli"));

    // Damaged files make FFmpeg talk; the verdicts say what matters.
    const DecoderSetup decoder(std::getenv("KORVANE_FFMPEG_LOG") ? DecoderLog::FFmpegDefault
                                                                 : DecoderLog::Silent);

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

    int status = kExitUsage;
    if (command == u"check")
        status = RunCheckCommand(arguments);
    else if (command == u"spectrogram")
        status = RunSpectrogramCommand(arguments);
    else
        UsageError(QStringLiteral("unknown command '%1'").arg(command));
    return status;
}
