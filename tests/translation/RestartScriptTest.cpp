// The script that brings the program back after a language change.
#include "translation/RestartScript.h"

#include "support/NamedCases.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

struct QuoteCase {
    const char* name;
    QString text;
    QString quoted;
};

class ShellQuoteTest : public ::testing::TestWithParam<QuoteCase> {};

TEST_P(ShellQuoteTest, OneLiteralWord) {
    EXPECT_EQ(ShellQuote(GetParam().text), GetParam().quoted);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ShellQuoteTest,
    ::testing::Values(QuoteCase{"Plain", QStringLiteral("/usr/lib/korvane/korvane"),
                                QStringLiteral("'/usr/lib/korvane/korvane'")},
                      QuoteCase{"Blanks", QStringLiteral("/opt/My Apps/korvane"),
                                QStringLiteral("'/opt/My Apps/korvane'")},
                      QuoteCase{"SingleQuote", QStringLiteral("/home/o'neil/korvane"),
                                QStringLiteral("'/home/o'\\''neil/korvane'")},
                      QuoteCase{"ShellMarks", QStringLiteral("/tmp/$HOME `id` \"x\";&|"),
                                QStringLiteral("'/tmp/$HOME `id` \"x\";&|'")},
                      QuoteCase{"Empty", QString(), QStringLiteral("''")}),
    CaseName());

TEST(RestartScript, ShellLinesSayWhatTheyAreWaitASecondAndStartTheProgram) {
    EXPECT_EQ(
        ShellRestartLines(QStringLiteral("/opt/My Apps/korvane")),
        QStringList({QStringLiteral("#!/bin/sh"),
                     QStringLiteral("# This file was created automatically to restart the "
                                    "program."),
                     QStringLiteral("# It is safe to delete this file."), QStringLiteral("sleep 1"),
                     QStringLiteral("exec '/opt/My Apps/korvane'")}));
}

TEST(RestartScript, BatchLinesWaitOnlyWhereTimeoutExists) {
    const QString exe = QStringLiteral("C:\\Program Files\\Korvane\\korvane.exe");
    const QStringList five = BatchRestartLines(exe, 6);
    EXPECT_EQ(five,
              QStringList({QStringLiteral("@ECHO OFF"),
                           QStringLiteral("ECHO This file was created automatically to restart "
                                          "the program."),
                           QStringLiteral("ECHO It is safe to delete this file."),
                           QStringLiteral("timeout 1"),
                           QStringLiteral("\"C:\\Program Files\\Korvane\\korvane.exe\"")}));
    const QStringList four = BatchRestartLines(exe, 5);
    ASSERT_EQ(four.size(), 4);
    EXPECT_FALSE(four.contains(QStringLiteral("timeout 1")));
    EXPECT_EQ(four.last(), five.last());
}

TEST(RestartScript, PathGetsItsSeparator) {
    EXPECT_EQ(RestartScriptPath(QStringLiteral("/data/korvane")),
              QStringLiteral("/data/korvane/start.sh"));
    EXPECT_EQ(RestartScriptPath(QStringLiteral("/data/korvane/")),
              QStringLiteral("/data/korvane/start.sh"));
}

namespace {

// A stand-in for the program: a script that leaves a mark where it was
// started, in a folder whose name needs quoting.
struct FakeProgram {
    QTemporaryDir dir;
    QString folder;
    QString program;
    QString mark;

    FakeProgram() {
        folder = dir.filePath(QStringLiteral("it's a \"test\" $HOME `x`"));
        QDir().mkpath(folder);
        program = folder + QStringLiteral("/korvane");
        mark = dir.filePath(QStringLiteral("started"));
        QFile file(program);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\npwd > '" + mark.toUtf8() + "'\n");
        file.close();
        file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
    }
};

} // namespace

TEST(RestartScript, WrittenScriptStartsTheProgramWhateverItsPath) {
    FakeProgram fake;
    const QString script = RestartScriptPath(fake.dir.path());
    QFile::remove(script);
    {
        QFile old(script); // an older script is replaced
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("exit 3\nlonger old content that must not survive\n");
    }
    WriteRestartScript(script, fake.program);

    QFile written(script);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), (ShellRestartLines(fake.program).join(u'\n') + u'\n').toUtf8());

    QProcess shell;
    shell.setWorkingDirectory(fake.dir.path());
    shell.start(QStringLiteral("/bin/sh"), {script});
    ASSERT_TRUE(shell.waitForFinished(10000));
    EXPECT_EQ(shell.exitCode(), 0) << shell.readAllStandardError().toStdString();
    QFile mark(fake.mark);
    ASSERT_TRUE(mark.open(QIODevice::ReadOnly)) << "the program did not start";
    EXPECT_EQ(mark.readAll().trimmed(), QFileInfo(fake.dir.path()).canonicalFilePath().toUtf8())
        << "it runs in the data folder";
}

TEST(RestartScript, DetachedStartRunsTheScript) {
    FakeProgram fake;
    const QString script = RestartScriptPath(fake.dir.path());
    WriteRestartScript(script, fake.program);
    ASSERT_TRUE(StartRestartScript(script, fake.dir.path()));
    const QDeadlineTimer deadline(15000);
    while (!QFileInfo::exists(fake.mark) && !deadline.hasExpired())
        QThread::msleep(50);
    EXPECT_TRUE(QFileInfo::exists(fake.mark));
}

TEST(RestartScript, UnwritablePlaceThrowsNamingTheFile) {
    QTemporaryDir dir;
    const QString script = dir.filePath(QStringLiteral("missing/start.sh"));
    try {
        WriteRestartScript(script, QStringLiteral("/usr/bin/korvane"));
        FAIL() << "no error";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(QString::fromUtf8(error.what()).indexOf(script), -1) << error.what();
    }
    EXPECT_FALSE(QFileInfo::exists(script));
}
