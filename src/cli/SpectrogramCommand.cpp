#include "cli/SpectrogramCommand.h"

#include "analysis/AudioAnalyzer.h"
#include "analysis/Spectrogram.h"
#include "analysis/SpectrogramAnnotation.h"
#include "analysis/SpectrogramView.h"
#include "cli/CheckCommand.h"
#include "cli/CliSupport.h"
#include "cli/TerminalText.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QGuiApplication>
#include <QRegularExpression>
#include <cstring>
#include <optional>
#include <utility>

namespace {

constexpr int kMaxSide = 32767;

int Failure(const QString& message) {
    PrintText(stderr, QStringLiteral("korvane-cli: %1\n").arg(TerminalText(message)));
    return kExitError;
}

// Parses "WIDTHxHEIGHT"; nothing when the text is not a usable size.
std::optional<QSize> ParseSize(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral("^(\\d{1,6})[xX](\\d{1,6})$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const int width = match.captured(1).toInt();
    const int height = match.captured(2).toInt();
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide)
        return std::nullopt;
    return QSize(width, height);
}

int WritePng(const QImage& image, const QString& path) {
    QString error;
    if (!WriteTruecolourPng(image, path, error))
        return Failure(QStringLiteral("cannot write '%1': %2").arg(path, error));
    return kExitClean;
}

} // namespace

bool SpectrogramCommandDrawsText(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], "spectrogram") != 0)
        return false;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--annotate") == 0 || std::strcmp(argv[i], "-a") == 0)
            return true;
    }
    return false;
}

int RunSpectrogramCommand(const QStringList& arguments) {
    QCommandLineParser parser;
    // Options stand alone ("-a -o x.png", not "-ao x.png"), as main() looks
    // for --annotate before any parser runs.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(
        QStringLiteral(
            "Draws the spectrogram of a file's sound as a PNG picture: time from left to right,\n"
            "frequency from 0 Hz at the bottom, one column per 2048 samples and 1024 rows;\n"
            "colours span about 100 dB under the loudest point of the file. A file of more\n"
            "than %1 frames (about 25 minutes at 44.1 kHz) is drawn %1 columns wide, each\n"
            "column keeping the loudest level of its frames.\n\n"
            "Exit status: 0 written, 2 the file cannot be rendered or the picture cannot be\n"
            "written, 64 bad usage.")
            .arg(kSpectrogramMaxColumns));
    parser.addHelpOption();
    const QCommandLineOption outputOption(
        QStringList{QStringLiteral("o"), QStringLiteral("output")},
        QStringLiteral("The PNG file to write."), QStringLiteral("OUT.png"));
    const QCommandLineOption sizeOption(
        QStringList{QStringLiteral("s"), QStringLiteral("size")},
        QStringLiteral("Stretch the picture to WIDTHxHEIGHT pixels, as the window's panel\n"
                       "shows it (default: full resolution)."),
        QStringLiteral("WxH"));
    const QCommandLineOption annotateOption(
        QStringList{QStringLiteral("a"), QStringLiteral("annotate")},
        QStringLiteral("Add a frequency scale, a time scale and the cutoff that the\n"
                       "quality analysis finds, labelled with its verdict; the header\n"
                       "also gives the assessment of the file's source."));
    parser.addOption(outputOption);
    parser.addOption(sizeOption);
    parser.addOption(annotateOption);
    parser.addPositionalArgument(QStringLiteral("spectrogram"),
                                 QStringLiteral("The spectrogram command."));
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("An audio or video file."));

    if (!parser.parse(arguments))
        return UsageError(parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        PrintText(stdout, parser.helpText());
        return kExitClean;
    }
    const QStringList files = parser.positionalArguments().mid(1);
    if (files.size() != 1)
        return UsageError(QStringLiteral("name exactly one file to draw"));
    if (!parser.isSet(outputOption) || parser.value(outputOption).isEmpty())
        return UsageError(QStringLiteral("name the PNG file to write with -o OUT.png"));
    std::optional<QSize> size;
    if (parser.isSet(sizeOption)) {
        size = ParseSize(parser.value(sizeOption));
        if (!size)
            return UsageError(
                QStringLiteral("--size takes WIDTHxHEIGHT, each from 1 to %1 (e.g. 1024x512)")
                    .arg(kMaxSide));
    }
    const QString path = files.first();
    const QString output = parser.value(outputOption);

    const bool annotate = parser.isSet(annotateOption);
    if (annotate && !qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return Failure(QStringLiteral("--annotate needs the program's text support"));

    // The annotation's verdict and cutoff come from the picture's own pass.
    SpectrogramRender render = RenderSpectrogramFile(path, {}, {.withAnalysis = annotate});
    if (!render.ok())
        return Failure(QStringLiteral("cannot render '%1': %2").arg(path, render.errorText()));
    QImage picture = std::move(render.picture);
    if (size)
        picture = StretchNearest(picture, *size);

    if (annotate) {
        SpectrogramLegend legend;
        legend.analysis = *render.analysis;
        legend.source = render.source;
        legend.sampleRate = render.sampleRate;
        legend.frames = render.frames;
        legend.title = QFileInfo(path).fileName();
        AnnotatedSpectrogram annotated = AnnotateSpectrogram(picture, legend);
        if (annotated.image.isNull())
            return Failure(QStringLiteral("cannot annotate '%1': not enough memory").arg(path));
        picture = std::move(annotated.image);
    }
    return WritePng(picture, output);
}
