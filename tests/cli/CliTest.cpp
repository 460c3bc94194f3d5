// korvane-cli as users run it: golden output on fixtures made here, exit statuses.
#include "support/TestMedia.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <numbers>
#include <pty.h>
#include <unistd.h>

using namespace testmedia;

namespace {

// Sines at the centres of bins 1..lastBin with fixed pseudo-random phases:
// periodic in 2048 samples, so every FFT frame sees the same spectrum and the
// results do not depend on any encoder's version. Written as float samples:
// 16-bit rounding of a periodic signal would add harmonics of its own.
std::vector<float> BinComb(int lastBin, int sampleRate, double seconds, float amplitude) {
    std::vector<float> period(2048, 0.0f);
    std::uint32_t state = 12345;
    for (int bin = 1; bin <= lastBin; ++bin) {
        state = state * 1664525u + 1013904223u;
        const double phase = 2.0 * std::numbers::pi * (state >> 8) / double(1u << 24);
        for (int n = 0; n < 2048; ++n)
            period[n] +=
                float(amplitude * std::sin(2.0 * std::numbers::pi * bin * n / 2048.0 + phase));
    }
    std::vector<float> samples;
    // Whole periods only: a zero-padded last frame would smear the spectrum.
    const int total = int(seconds * sampleRate) / 2048 * 2048;
    samples.reserve(std::size_t(total));
    for (int i = 0; i < total; ++i)
        samples.push_back(period[std::size_t(i % 2048)]);
    return samples;
}

QString Golden(const QString& name) {
    QFile file(QStringLiteral(KORVANE_GOLDEN_DIR) + u'/' + name);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
    return QString::fromUtf8(file.readAll());
}

// KORVANE_UPDATE_GOLDEN=1 rewrites the golden files from the current output.
void UpdateGolden(const QString& name, const QString& text) {
    QFile file(QStringLiteral(KORVANE_GOLDEN_DIR) + u'/' + name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text.toUtf8());
}

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        QDir(dir.path()).mkdir(QStringLiteral("set"));
        WriteWav(dir.filePath(QStringLiteral("set/bandlimited.wav")),
                 BinComb(700, 44100, 3, 0.004f), 44100, 1, true);
        WriteWav(dir.filePath(QStringLiteral("set/fullband.wav")), BinComb(1023, 44100, 3, 0.004f),
                 44100, 1, true);
        WriteWav(dir.filePath(QStringLiteral("set/lowrate.wav")), BinComb(1023, 22050, 3, 0.004f),
                 22050, 1, true);
        // Sound up to 10.8 kHz in a 44.1 kHz file: 22.05 kHz audio raised
        // (beside the set, which the folder test counts).
        WriteWav(dir.filePath(QStringLiteral("upsampled.wav")), BinComb(500, 44100, 3, 0.004f),
                 44100, 1, true);
        WriteWav(dir.filePath(QStringLiteral("set/silence.wav")), std::vector<float>(44100, 0.0f),
                 44100);
        WriteBytes(dir.filePath(QStringLiteral("set/notaudio.mp3")), "no sound here, \"quoted\"\n");
    }

    // The golden files name the files one by one, so they also pin the
    // order of the command line.
    QStringList files() const {
        return {QStringLiteral("set/bandlimited.wav"), QStringLiteral("set/fullband.wav"),
                QStringLiteral("set/lowrate.wav"), QStringLiteral("set/silence.wav"),
                QStringLiteral("set/notaudio.mp3")};
    }

    QTemporaryDir dir;
};

} // namespace

TEST_F(CliTest, GoldenOutputs) {
    const std::pair<const char*, const char*> cases[] = {
        {"jsonl", "check.jsonl"},
        {"csv", "check.csv"},
        {"table", "check.txt"},
    };
    for (auto [format, golden] : cases) {
        const CliRun run = RunCli(QStringList{QStringLiteral("check"), QStringLiteral("--format"),
                                              QString::fromLatin1(format)} +
                                      files(),
                                  dir.path());
        EXPECT_EQ(run.exitCode, 2) << format << ": an Error row wins over suspicious rows";
        if (qEnvironmentVariableIsSet("KORVANE_UPDATE_GOLDEN"))
            UpdateGolden(QString::fromLatin1(golden), run.out);
        else
            EXPECT_EQ(run.out, Golden(QString::fromLatin1(golden))) << format;
        EXPECT_TRUE(run.err.isEmpty())
            << "no progress when stderr is not a terminal: " << run.err.toStdString();
    }
}

TEST_F(CliTest, ParallelOutputKeepsArgumentOrder) {
    const CliRun serial =
        RunCli(QStringList{QStringLiteral("check"), QStringLiteral("--jobs"), QStringLiteral("1"),
                           QStringLiteral("--format"), QStringLiteral("jsonl")} +
                   files() + files(),
               dir.path());
    const CliRun parallel =
        RunCli(QStringList{QStringLiteral("check"), QStringLiteral("-j"), QStringLiteral("4"),
                           QStringLiteral("--format"), QStringLiteral("jsonl")} +
                   files() + files(),
               dir.path());
    EXPECT_EQ(serial.out, parallel.out);
    EXPECT_EQ(serial.out.count(u'\n'), 10);
}

TEST_F(CliTest, FolderIsScannedAndExtensionlessNamesAreAnalysedWhenNamed) {
    QFile::copy(dir.filePath(QStringLiteral("set/fullband.wav")),
                dir.filePath(QStringLiteral("fullband.data")));
    const CliRun run =
        RunCli({QStringLiteral("check"), QStringLiteral("--format"), QStringLiteral("csv"),
                QStringLiteral("set"), QStringLiteral("fullband.data")},
               dir.path());
    const QStringList lines = run.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1 + 5 + 1) << run.out.toStdString();
    EXPECT_TRUE(
        lines.last().startsWith(QStringLiteral("fullband.data,1411,44100,22050,false,OK,false,")))
        << lines.last().toStdString();
    for (int i = 1; i <= 5; ++i)
        EXPECT_TRUE(lines[i].startsWith(QStringLiteral("set/"))) << lines[i].toStdString();
}

TEST_F(CliTest, ExitStatuses) {
    struct Case {
        QStringList arguments;
        int exitCode;
    } cases[] = {
        {{"check", "set/fullband.wav"}, 0},
        {{"check", "set/fullband.wav", "set/bandlimited.wav"}, 1},
        {{"check", "set/lowrate.wav"}, 1},
        {{"check", "set/bandlimited.wav", "set/silence.wav"}, 2},
        {{"check", "does-not-exist.flac"}, 2},
        {{"check"}, 64},
        {{"check", "--format", "xml", "set"}, 64},
        {{"check", "--jobs", "0", "set"}, 64},
        {{"check", "--bogus", "set"}, 64},
        // The assessment decides instead of the cutoff verdict: a steep
        // low-pass without a codec's trace is band-limited, not suspicious.
        {{"check", "--fail-on", "assessment", "set/fullband.wav", "set/bandlimited.wav"}, 0},
        {{"check", "--fail-on", "verdict", "set/fullband.wav", "set/bandlimited.wav"}, 1},
        {{"check", "--fail-on", "assessment", "upsampled.wav"}, 1},
        {{"check", "--fail-on", "assessment", "upsampled.wav", "set/silence.wav"}, 2},
        {{"check", "--fail-on", "cutoff", "set"}, 64},
        {{"frobnicate"}, 64},
        {{}, 64},
        {{"--version"}, 0},
        {{"--help"}, 0},
        {{"check", "--help"}, 0},
    };
    for (const Case& c : cases) {
        const CliRun run = RunCli(c.arguments, dir.path());
        EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments.join(u' ').toStdString() << "\n"
                                            << run.err.toStdString();
        if (c.exitCode == 64) {
            EXPECT_TRUE(run.err.startsWith(QStringLiteral("korvane-cli: ")))
                << run.err.toStdString();
        }
    }
}

TEST_F(CliTest, FilesFromAListFileOrStandardInput) {
    // A name with a line break can only travel in a NUL-separated list.
    QFile::copy(dir.filePath(QStringLiteral("set/fullband.wav")),
                dir.filePath(QStringLiteral("set/two\nlines.wav")));
    const CliRun expected = RunCli(
        QStringList{QStringLiteral("check"), QStringLiteral("--format"), QStringLiteral("csv"),
                    QStringLiteral("set/lowrate.wav"), QStringLiteral("set/bandlimited.wav"),
                    QStringLiteral("set/two\nlines.wav"), QStringLiteral("set/notaudio.mp3")},
        dir.path());
    ASSERT_EQ(expected.out.count(u'\n'), 1 + 4 + 1) << "the quoted name spans two lines";

    const QByteArray nulList = QByteArrayLiteral(
        "set/lowrate.wav\0set/bandlimited.wav\0set/two\nlines.wav\0set/notaudio.mp3\0");
    WriteBytes(dir.filePath(QStringLiteral("nul.list")), nulList);
    struct Case {
        const char* what;
        QStringList arguments;
        QByteArray input;
    } cases[] = {
        {"NUL list file", {"--null", "--files-from", "nul.list"}, {}},
        {"NUL list on stdin", {"--null", "--files-from", "-"}, nulList},
        {"lines with CRLF and blank lines, plus a path on the command line",
         {"set/lowrate.wav", "--files-from", "-"},
         QByteArrayLiteral("set/bandlimited.wav\r\n\nset/two\nlines.wav\nset/notaudio.mp3\n")},
    };
    for (const Case& c : cases) {
        const CliRun run = RunCli(QStringList{QStringLiteral("check"), QStringLiteral("--format"),
                                              QStringLiteral("csv")} +
                                      c.arguments,
                                  dir.path(), c.input);
        if (QByteArray(c.what).startsWith("lines")) {
            // Line-separated, the odd name falls apart into two missing files.
            EXPECT_EQ(run.out.count(QStringLiteral("Cannot open file")), 3)
                << run.out.toStdString();
            EXPECT_TRUE(run.out.contains(QStringLiteral("\nlines.wav,0,0,0,false,Error")));
            continue;
        }
        EXPECT_EQ(run.exitCode, expected.exitCode) << c.what;
        EXPECT_EQ(run.out, expected.out) << c.what;
    }
}

TEST_F(CliTest, FilesFromErrorsAndAnEmptyList) {
    const CliRun missing = RunCli(
        {QStringLiteral("check"), QStringLiteral("--files-from"), QStringLiteral("no-such.list")},
        dir.path());
    EXPECT_EQ(missing.exitCode, 64);
    EXPECT_TRUE(missing.err.contains(QStringLiteral("no-such.list"))) << missing.err.toStdString();

    const CliRun nullAlone = RunCli(
        {QStringLiteral("check"), QStringLiteral("--null"), QStringLiteral("set")}, dir.path());
    EXPECT_EQ(nullAlone.exitCode, 64);

    // A share of a split-up library may be empty: nothing to check is not an error.
    const CliRun empty =
        RunCli({QStringLiteral("check"), QStringLiteral("--format"), QStringLiteral("csv"),
                QStringLiteral("--files-from"), QStringLiteral("-")},
               dir.path(), QByteArray());
    EXPECT_EQ(empty.exitCode, 0);
    EXPECT_EQ(empty.out.count(u'\n'), 1) << "the header alone: " << empty.out.toStdString();
}

namespace {

// A name that would clear the screen, set the window title, ring the bell,
// return the cursor, inject a C1 sequence and reverse what follows it.
const QString kHostileName = QStringLiteral("evil\x1b[2J\x1b]0;owned\x07\r\u009b31m\u202Egpj.wav");
const QString kHostileShown =
    QStringLiteral("evil\\x1b[2J\\x1b]0;owned\\x07\\x0d\\u009b31m\\u202egpj.wav");

// Nothing in `text` that a terminal would obey.
void ExpectInert(const QString& text) {
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        EXPECT_FALSE(u < 0x20 && u != u'\n')
            << "control " << int(u) << " in " << text.toStdString();
        EXPECT_FALSE(u == 0x7f || (u >= 0x80 && u <= 0x9f) || u == 0x202E)
            << int(u) << " in " << text.toStdString();
    }
}

} // namespace

TEST_F(CliTest, TheTableShowsControlCharactersInNamesEscaped) {
    ASSERT_TRUE(
        QFile::copy(dir.filePath(QStringLiteral("set/fullband.wav")), dir.filePath(kHostileName)));
    const CliRun table = RunCli({QStringLiteral("check"), kHostileName}, dir.path());
    EXPECT_EQ(table.exitCode, 0) << table.err.toStdString();
    ExpectInert(table.out);
    const QStringList lines = table.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << table.out.toStdString();
    EXPECT_TRUE(lines[1].startsWith(kHostileShown + QStringLiteral("  ")))
        << lines[1].toStdString();
    // The header's columns line up with the row's escaped name.
    EXPECT_EQ(lines[0].indexOf(QStringLiteral("Bitrate")) + 7,
              lines[1].indexOf(QStringLiteral("1411")) + 4);

    // JSON lines keep their own escaping (the C0 controls) and give the name
    // back exactly.
    const CliRun json = RunCli({QStringLiteral("check"), QStringLiteral("--format"),
                                QStringLiteral("jsonl"), kHostileName},
                               dir.path());
    EXPECT_TRUE(json.out.contains(QStringLiteral("evil\\u001b[2J\\u001b]0;owned\\u0007\\r")))
        << json.out.toStdString();
    const QJsonObject row = QJsonDocument::fromJson(json.out.toUtf8()).object();
    EXPECT_EQ(row.value(QStringLiteral("path")).toString(), kHostileName);
}

// The progress line goes to a terminal only, so it is read from one.
TEST_F(CliTest, TheProgressLineShowsNamesEscaped) {
    const QString folder = QStringLiteral("\x1b]0;owned\x07\u202Edir");
    ASSERT_TRUE(QDir(dir.path()).mkdir(folder));
    ASSERT_TRUE(QFile::copy(dir.filePath(QStringLiteral("set/fullband.wav")),
                            dir.filePath(folder + QStringLiteral("/a.wav"))));
    int master = -1;
    int slave = -1;
    ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    QProcess cli;
    cli.setWorkingDirectory(dir.path());
    cli.setChildProcessModifier([slave] { ::dup2(slave, STDERR_FILENO); });
    cli.start(CliPath(), {QStringLiteral("check"), folder});
    ASSERT_TRUE(cli.waitForFinished(120000));
    ::close(slave);
    QByteArray screen;
    ::fcntl(master, F_SETFL, O_NONBLOCK);
    char buffer[4096];
    for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;)
        screen.append(buffer, n);
    ::close(master);

    QString shown = QString::fromUtf8(screen);
    EXPECT_TRUE(shown.contains(QStringLiteral("Scanning \\x1b]0;owned\\x07\\u202edir")))
        << screen.toStdString();
    // Only the progress line's own return-and-erase may reach the terminal.
    shown.remove(QStringLiteral("\r\x1b[K"));
    shown.remove(QStringLiteral("\r"));
    ExpectInert(shown);
}

TEST_F(CliTest, UnchangedFilesComeFromTheCacheAndChangedOnesAreAnalysedAgain) {
    const QStringList check = {QStringLiteral("check"), QStringLiteral("--format"),
                               QStringLiteral("csv"), QStringLiteral("set")};
    const QString database = dir.filePath(QStringLiteral(".cache/korvane/results.sqlite"));
    const CliRun first = RunCli(check, dir.path());
    ASSERT_TRUE(QFile::exists(database));
    EXPECT_TRUE(first.err.isEmpty()) << first.err.toStdString();

    // Identical answers from the stored results.
    const CliRun second = RunCli(check, dir.path());
    EXPECT_EQ(second.out, first.out);
    EXPECT_EQ(second.exitCode, first.exitCode);

    // The full-band file rewritten in place with band-limited sound: its row must follow.
    const QString fullband = dir.filePath(QStringLiteral("set/fullband.wav"));
    WriteWav(fullband, BinComb(700, 44100, 3, 0.004f), 44100, 1, true);
    const CliRun changed = RunCli(check, dir.path());
    const QString row =
        changed.out.split(u'\n').filter(QStringLiteral("set/fullband.wav")).value(0);
    EXPECT_TRUE(row.contains(QStringLiteral(",Likely,true,"))) << row.toStdString();
    EXPECT_EQ(changed.out.count(u'\n'), first.out.count(u'\n'));

    // --no-cache analyses everything and neither reads nor writes the database.
    QFile::remove(database);
    QFile::remove(database + QStringLiteral("-wal"));
    QFile::remove(database + QStringLiteral("-shm"));
    const CliRun bypass = RunCli(QStringList{QStringLiteral("check"), QStringLiteral("--no-cache"),
                                             QStringLiteral("--format"), QStringLiteral("csv"),
                                             QStringLiteral("set")},
                                 dir.path());
    EXPECT_EQ(bypass.out, changed.out);
    EXPECT_FALSE(QFile::exists(database));
}

TEST_F(CliTest, ADamagedCacheIsRebuiltWithAWarningAndChangesNothingElse) {
    const QStringList check = {QStringLiteral("check"), QStringLiteral("--format"),
                               QStringLiteral("jsonl"), QStringLiteral("set/fullband.wav"),
                               QStringLiteral("set/lowrate.wav")};
    const CliRun clean = RunCli(check, dir.path());
    const QString database = dir.filePath(QStringLiteral(".cache/korvane/results.sqlite"));
    for (const char* suffix : {"", "-wal", "-shm"})
        QFile::remove(database + QString::fromLatin1(suffix));
    WriteBytes(database, QByteArray(4096, '\x5a'));

    const CliRun damaged = RunCli(check, dir.path());
    EXPECT_EQ(damaged.out, clean.out);
    EXPECT_EQ(damaged.exitCode, clean.exitCode);
    EXPECT_TRUE(damaged.err.startsWith(QStringLiteral("korvane-cli: warning: results cache ")))
        << damaged.err.toStdString();
    EXPECT_EQ(damaged.err.count(u'\n'), 1) << damaged.err.toStdString();
    // Rebuilt: the next run is quiet and takes its results from it.
    const CliRun after = RunCli(check, dir.path());
    EXPECT_EQ(after.out, clean.out);
    EXPECT_TRUE(after.err.isEmpty()) << after.err.toStdString();
}

TEST_F(CliTest, SeveralProcessesShareOneCache) {
    const QStringList check =
        QStringList{QStringLiteral("check"), QStringLiteral("--format"), QStringLiteral("jsonl"),
                    QStringLiteral("--jobs"), QStringLiteral("2")} +
        files() + files();
    const CliRun reference =
        RunCli(QStringList{check[0], QStringLiteral("--no-cache")} + check.mid(1), dir.path());

    std::vector<std::unique_ptr<QProcess>> processes;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), dir.filePath(QStringLiteral(".cache")));
    for (int i = 0; i < 4; ++i) {
        auto& process = processes.emplace_back(std::make_unique<QProcess>());
        process->setWorkingDirectory(dir.path());
        process->setProcessEnvironment(env);
        process->start(CliPath(), check);
    }
    for (auto& process : processes) {
        ASSERT_TRUE(process->waitForFinished(120000));
        EXPECT_EQ(process->exitCode(), reference.exitCode);
        EXPECT_EQ(QString::fromUtf8(process->readAllStandardOutput()), reference.out);
        EXPECT_EQ(QString::fromUtf8(process->readAllStandardError()), QString());
    }
    // And a run after them all finds every file stored.
    EXPECT_EQ(RunCli(check, dir.path()).out, reference.out);
}
