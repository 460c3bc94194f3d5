#include "cli/CheckCommand.h"

#include "analysis/AnalysisVersion.h"
#include "analysis/AudioAnalyzer.h"
#include "analysis/OrderedAnalysis.h"
#include "analysis/SourceAssessment.h"
#include "cli/CliSupport.h"
#include "cli/PathList.h"
#include "cli/ResultWriter.h"
#include "common/FileCollection.h"
#include "results/CachedAnalysis.h"
#include "results/ResultCache.h"
#include "results/ResultLines.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <memory>
#include <mutex>
#include <thread>

namespace {

// One file, through the results of earlier runs when there is a cache.
FileReport CheckFile(ResultCache* cache, const QString& path, std::stop_token stop) {
    QualityAndSource both = AnalyzeThroughCache(
        cache, path, [&stop](const QString& file) { return AnalyzeQualityAndSource(file, stop); },
        stop);
    FileReport report;
    report.Path = path;
    report.Quality = std::move(both.Quality);
    report.Source = std::move(both.Source);
    return report;
}

} // namespace

int RunCheckCommand(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Analyses audio and video files and reports whether their sound was lossy re-encoded.\n"
        "A folder is searched at any depth for supported files; a file named here is analysed\n"
        "whatever its extension.\n\n"
        "Exit status: 0 nothing suspicious, 1 at least one Possible or Likely,\n"
        "2 at least one Error, 64 bad usage. With --fail-on assessment: 1 at least one\n"
        "file assessed as transcoded or upsampled, 2 at least one error."));
    parser.addHelpOption();
    const QCommandLineOption formatOption(
        QStringList{QStringLiteral("f"), QStringLiteral("format")},
        QStringLiteral("Output format: table, csv or jsonl (default: table)."),
        QStringLiteral("format"), QStringLiteral("table"));
    const QCommandLineOption jobsOption(
        QStringList{QStringLiteral("j"), QStringLiteral("jobs")},
        QStringLiteral("Files analysed in parallel (default: the number of cores)."),
        QStringLiteral("N"), QString::number(std::max(1u, std::thread::hardware_concurrency())));
    const QCommandLineOption failOnOption(
        QStringList{QStringLiteral("fail-on")},
        QStringLiteral("What sets the exit status: verdict (the Result column, default) or "
                       "assessment (transcoded or upsampled)."),
        QStringLiteral("what"), QStringLiteral("verdict"));
    const QCommandLineOption filesFromOption(
        QStringLiteral("files-from"),
        QStringLiteral("Also check the paths listed in FILE, one per line ('-': standard input);\n"
                       "a list of any length, where the command line has a limit."),
        QStringLiteral("FILE"));
    const QCommandLineOption nullOption(
        QStringLiteral("null"),
        QStringLiteral("The --files-from list is separated by NUL bytes (find -print0)."));
    parser.addOption(formatOption);
    parser.addOption(jobsOption);
    parser.addOption(failOnOption);
    const QCommandLineOption noCacheOption(
        QStringLiteral("no-cache"),
        QStringLiteral("Analyse every file again: neither use nor keep the results of earlier\n"
                       "runs (kept in %1).")
            .arg(QDir::toNativeSeparators(ResultCache::DefaultPath())));
    parser.addOption(filesFromOption);
    parser.addOption(nullOption);
    parser.addOption(noCacheOption);
    parser.addPositionalArgument(QStringLiteral("check"), QStringLiteral("The check command."));
    parser.addPositionalArgument(QStringLiteral("PATH"), QStringLiteral("Files or folders."),
                                 QStringLiteral("PATH..."));

    if (!parser.parse(arguments))
        return UsageError(parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        PrintText(stdout, parser.helpText());
        return kExitClean;
    }

    OutputFormat format;
    const QString formatName = parser.value(formatOption);
    if (formatName == u"table")
        format = OutputFormat::Table;
    else if (formatName == u"csv")
        format = OutputFormat::Csv;
    else if (formatName == u"jsonl")
        format = OutputFormat::JsonLines;
    else
        return UsageError(
            QStringLiteral("unknown format '%1' (use table, csv or jsonl)").arg(formatName));

    bool jobsOk = false;
    const int jobs = parser.value(jobsOption).toInt(&jobsOk);
    if (!jobsOk || jobs < 1)
        return UsageError(QStringLiteral("--jobs takes a whole number of 1 or more"));

    const QString failOn = parser.value(failOnOption);
    if (failOn != u"verdict" && failOn != u"assessment")
        return UsageError(
            QStringLiteral("unknown --fail-on '%1' (use verdict or assessment)").arg(failOn));
    const bool followAssessment = failOn == u"assessment";

    QStringList targets = parser.positionalArguments().mid(1);
    if (parser.isSet(nullOption) && !parser.isSet(filesFromOption))
        return UsageError(QStringLiteral("--null describes a --files-from list; name one"));
    if (parser.isSet(filesFromOption)) {
        // An empty list is a valid share of a split-up library: it checks nothing.
        const QString source = parser.value(filesFromOption);
        QString error;
        const std::optional<QStringList> listed =
            ReadPathList(source, parser.isSet(nullOption), error);
        if (!listed)
            return UsageError(QStringLiteral("cannot read the list %1: %2").arg(source, error));
        targets += *listed;
    } else if (targets.isEmpty()) {
        return UsageError(QStringLiteral("name at least one file or folder to check"));
    }

    Progress progress;
    QStringList paths;
    for (const QString& target : targets) {
        if (QFileInfo(target).isDir()) {
            progress.show(QStringLiteral("Scanning %1").arg(target));
            ScanFolder(target, paths);
        } else {
            paths.append(target);
        }
    }

    ResultWriter writer(stdout, format, paths);
    progress.clear();
    writer.writeHeader();

    bool anyError = false;
    bool anySuspicious = false;
    qsizetype done = 0;
    if (!paths.isEmpty())
        progress.show(QStringLiteral("Analysing 0 of %1 files").arg(paths.size()));
    // Unchanged files come from the results of earlier runs; the cache never
    // stops a check, it only warns when it cannot help.
    // Its warnings may come from the analysis threads; they are printed
    // between rows, where they do not cut into the progress line.
    std::mutex warningsMutex;
    QStringList warnings;
    auto printWarnings = [&] {
        std::lock_guard lock(warningsMutex);
        if (warnings.isEmpty())
            return;
        progress.clear();
        for (const QString& message : std::exchange(warnings, {}))
            PrintText(stderr, QStringLiteral("korvane-cli: warning: %1\n").arg(message));
    };
    std::unique_ptr<ResultCache> cache;
    if (!parser.isSet(noCacheOption)) {
        cache = std::make_unique<ResultCache>(ResultCache::DefaultPath(), AnalysisVersionText(),
                                              [&warningsMutex, &warnings](const QString& message) {
                                                  std::lock_guard lock(warningsMutex);
                                                  warnings << message;
                                              });
        printWarnings();
    }
    // Rows are written by the analysis threads, one at a time, in the order of `paths`.
    OrderedAnalysis analysis(
        paths, jobs,
        [cache = cache.get()](const QString& path, std::stop_token stop) {
            return CheckFile(cache, path, std::move(stop));
        },
        [&](qsizetype, FileReport report) {
            const TAudioQualityResult result = ResultOrFailure(report);
            const SourceAssessment source = AssessmentOrFailure(report);
            printWarnings();
            progress.clear();
            writer.writeRow(report.Path, result, source);
            if (followAssessment) {
                anyError |= source.Kind == Assessment::Error;
                anySuspicious |=
                    source.Kind == Assessment::Transcoded || source.Kind == Assessment::Upsampled;
            } else {
                anyError |= result.Verdict == qvError;
                anySuspicious |= result.IsSuspicious;
            }
            ++done;
            if (done < paths.size())
                progress.show(
                    QStringLiteral("Analysing %1 of %2 files").arg(done + 1).arg(paths.size()));
        });
    analysis.wait();
    printWarnings();
    progress.clear();

    if (anyError)
        return kExitError;
    return anySuspicious ? kExitSuspicious : kExitClean;
}
