#include "cli/CheckCommand.h"

#include "analysis/AnalysisVersion.h"
#include "analysis/AudioAnalyzer.h"
#include "cli/CliSupport.h"
#include "cli/PathList.h"
#include "cli/ResultWriter.h"
#include "common/FileCollection.h"
#include "results/CachedAnalysis.h"
#include "results/ResultCache.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// Analyses `paths` on `jobs` threads and hands the results to `deliver` in the
// order of `paths`, each as soon as it and all before it are known.
template <typename Deliver>
void AnalyseInOrder(const QStringList& paths, int jobs, ResultCache* cache, Deliver deliver) {
    const std::size_t count = std::size_t(paths.size());
    std::vector<TAudioQualityResult> results(count);
    std::vector<char> ready(count, 0);
    std::mutex mutex;
    std::condition_variable readyChanged;
    std::atomic<std::size_t> next{0};

    auto worker = [&] {
        for (std::size_t i = next++; i < count; i = next++) {
            TAudioQualityResult result;
            try {
                result = AnalyzeThroughCache(cache, paths[qsizetype(i)], [](const QString& path) {
                    return AnalyzeAudioQuality(path);
                });
            } catch (const std::exception& e) {
                result = TAudioQualityResult{};
                result.Verdict = qvError;
                result.Reason =
                    QStringLiteral("Analysis failed: %1").arg(QString::fromLocal8Bit(e.what()));
            }
            {
                std::lock_guard lock(mutex);
                results[i] = std::move(result);
                ready[i] = 1;
            }
            readyChanged.notify_all();
        }
    };

    std::vector<std::jthread> threads;
    const int threadCount = std::max(1, std::min<int>(jobs, int(count)));
    for (int t = 0; t < threadCount; ++t)
        threads.emplace_back(worker);

    for (std::size_t i = 0; i < count; ++i) {
        TAudioQualityResult result;
        {
            std::unique_lock lock(mutex);
            readyChanged.wait(lock, [&] { return ready[i] != 0; });
            result = std::move(results[i]);
        }
        deliver(paths[qsizetype(i)], result);
    }
}

} // namespace

int RunCheckCommand(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Analyses audio and video files and reports whether their sound was lossy re-encoded.\n"
        "A folder is searched at any depth for supported files; a file named here is analysed\n"
        "whatever its extension.\n\n"
        "Exit status: 0 nothing suspicious, 1 at least one Possible or Likely,\n"
        "2 at least one Error, 64 bad usage."));
    parser.addHelpOption();
    const QCommandLineOption formatOption(
        QStringList{QStringLiteral("f"), QStringLiteral("format")},
        QStringLiteral("Output format: table, csv or jsonl (default: table)."),
        QStringLiteral("format"), QStringLiteral("table"));
    const QCommandLineOption jobsOption(
        QStringList{QStringLiteral("j"), QStringLiteral("jobs")},
        QStringLiteral("Files analysed in parallel (default: the number of cores)."),
        QStringLiteral("N"), QString::number(std::max(1u, std::thread::hardware_concurrency())));
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
    AnalyseInOrder(
        paths, jobs, cache.get(), [&](const QString& path, const TAudioQualityResult& result) {
            printWarnings();
            progress.clear();
            writer.writeRow(path, result);
            anyError |= result.Verdict == qvError;
            anySuspicious |= result.IsSuspicious;
            ++done;
            if (done < paths.size())
                progress.show(
                    QStringLiteral("Analysing %1 of %2 files").arg(done + 1).arg(paths.size()));
        });
    printWarnings();
    progress.clear();

    if (anyError)
        return kExitError;
    return anySuspicious ? kExitSuspicious : kExitClean;
}
