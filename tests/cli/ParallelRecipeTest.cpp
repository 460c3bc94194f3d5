// The README's recipe for spreading a library over machines, run here with
// GNU parallel over local jobs: its merged output must be a single run's.
#include "support/TestMedia.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace testmedia;

namespace {

// The first ```sh block under the heading `section` of the README.
QString ReadmeBlock(const QString& section) {
    QFile file(QStringLiteral(KORVANE_README));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    const qsizetype heading = text.indexOf(QStringLiteral("\n## ") + section + u'\n');
    const qsizetype start = text.indexOf(QStringLiteral("```sh\n"), heading);
    const qsizetype end = text.indexOf(QStringLiteral("\n```"), start);
    if (heading < 0 || start < 0 || end < 0)
        return {};
    return text.mid(start + 6, end - start - 6);
}

QStringList SortedLines(const QString& text) {
    QStringList lines = text.split(u'\n', Qt::SkipEmptyParts);
    lines.sort();
    return lines;
}

} // namespace

TEST(ParallelRecipe, MergedOutputOfLocalJobsIsASingleRunsOutput) {
    if (QStandardPaths::findExecutable(QStringLiteral("parallel")).isEmpty())
        GTEST_SKIP() << "GNU parallel is not installed (scripts/install-deps.sh brings it)";
    QString recipe = ReadmeBlock(QStringLiteral("Very large libraries"));
    ASSERT_TRUE(recipe.contains(u"parallel ")) << "no recipe found in the README";
    // The settings at its top are the reader's to change; the test sets its own.
    QStringList lines = recipe.split(u'\n');
    for (const char* setting : {"LIBRARY=", "MACHINES=", "FILES_PER_JOB="}) {
        const auto removed = lines.removeIf([setting](const QString& line) {
            return line.startsWith(QString::fromLatin1(setting));
        });
        ASSERT_EQ(removed, 1) << setting;
    }
    recipe = lines.join(u'\n');

    QTemporaryDir dir;
    const QString library = dir.filePath(QStringLiteral("music"));
    // Names the list order and the folder order disagree on, a hidden file, an
    // upper-case extension, and files no media scan takes.
    const std::vector<float> tone = SineAtBin(300, 44100, 44100, 0.5f);
    const std::vector<float> noise = [] {
        std::vector<float> samples(44100);
        std::uint32_t state = 1;
        for (float& s : samples) {
            state = state * 1664525u + 1013904223u;
            s = float(int(state >> 9) - (1 << 22)) / float(1 << 23);
        }
        return samples;
    }();
    int n = 0;
    for (const char* name :
         {"Album B/10 ten.wav", "Album B/9 nine.WAV", "Album A/01 one.wav", "Album A/.hidden.wav",
          "Album A/disc 2/01.wav", "loose track.wav", "Album A/02 two.wav"}) {
        const QString path = library + u'/' + QString::fromUtf8(name);
        QDir().mkpath(QFileInfo(path).path());
        WriteWav(path, ++n % 2 ? tone : noise, 44100);
    }
    WriteBytes(library + QStringLiteral("/Album A/cover.jpg"), "not sound");
    WriteBytes(library + QStringLiteral("/Album B/notes.txt"), "not sound");
    WriteBytes(library + QStringLiteral("/Album B/broken.flac"), "not sound either");

    QProcess shell;
    shell.setWorkingDirectory(dir.path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    env.insert(QStringLiteral("PATH"),
               QFileInfo(CliPath()).absolutePath() + u':' + env.value(QStringLiteral("PATH")));
    env.insert(QStringLiteral("LIBRARY"), library);
    env.insert(QStringLiteral("MACHINES"), QStringLiteral("2/:"));
    // Its own results cache: the single runs below must analyse for themselves.
    env.insert(QStringLiteral("XDG_CACHE_HOME"), dir.filePath(QStringLiteral("recipe-cache")));
    env.insert(QStringLiteral("FILES_PER_JOB"), QStringLiteral("2"));
    shell.setProcessEnvironment(env);
    shell.start(QStringLiteral("bash"), {QStringLiteral("-c"), recipe});
    ASSERT_TRUE(shell.waitForFinished(180000));
    const QString shellErr = QString::fromUtf8(shell.readAllStandardError());
    // Jobs with a suspicious or broken file end non-zero: parallel counts them.
    EXPECT_GT(shell.exitCode(), 0) << shellErr.toStdString();

    const QString merged =
        QString::fromUtf8(ReadAll(dir.filePath(QStringLiteral("library.jsonl"))));
    EXPECT_EQ(merged.count(u'\n'), 8) << merged.toStdString() << shellErr.toStdString();

    // Exactly one run over the same list...
    const CliRun single = RunCli({QStringLiteral("check"), QStringLiteral("--null"),
                                  QStringLiteral("--files-from"), QStringLiteral("library.list"),
                                  QStringLiteral("--format"), QStringLiteral("jsonl")},
                                 dir.path());
    EXPECT_EQ(merged, single.out);
    // ...and the same rows as a single run over the folder.
    const CliRun folder = RunCli(
        {QStringLiteral("check"), QStringLiteral("--format"), QStringLiteral("jsonl"), library},
        dir.path());
    EXPECT_EQ(SortedLines(merged), SortedLines(folder.out));
}
