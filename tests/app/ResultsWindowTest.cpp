// The window's results beyond the list: what it is started with, the export,
// Ctrl+C, and the results kept between runs.
#include "AppFormFixture.h"
#include "analysis/AudioAnalyzer.h"
#include "results/CachedAnalysis.h"
#include "results/ResultCache.h"
#include "support/TestMedia.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <atomic>

using namespace testmedia;

TEST_F(AppFormTest, StartedWithPathsLoadsThemInOrderFoldersAsAddFolderFilesAsAddFiles) {
    const QString first = touch(QStringLiteral("first 128k.txt")); // any extension, as Add Files
    touch(QStringLiteral("album/track 10.mp3"));
    touch(QStringLiteral("album/track 9.mp3"));
    touch(QStringLiteral("album/cover.jpg"));
    const QString last = touch(QStringLiteral("last.opus"));
    TAppForm& window = makeForm();
    // The folder named relative to the working folder, as a shell passes it.
    const QString previous = QDir::currentPath();
    QDir::setCurrent(media.path());
    window.OpenPaths({first, QStringLiteral("album"), last});
    QDir::setCurrent(previous);
    EXPECT_TRUE(waitForLoad());
    EXPECT_EQ(captions(),
              (QStringList{first, media.filePath(QStringLiteral("album/track 9.mp3")),
                           media.filePath(QStringLiteral("album/track 10.mp3")), last}));
    EXPECT_EQ(window.LastFolder, media.filePath(QStringLiteral("album")));
    EXPECT_FALSE(window.isLoading());
    EXPECT_TRUE(window.AddFolder1->isEnabled());
}

TEST_F(AppFormTest, ExportWritesWhatKorvaneCliPrintsForTheSameFiles) {
    environment.Analyze = AnalyzeFile;
    const QString full = WriteWav(media.filePath(QStringLiteral("a, \"full\".wav")),
                                  SineAtBin(900, 44100, 44100, 0.5f), 44100);
    const QString low = WriteWav(media.filePath(QStringLiteral("b low.wav")),
                                 SineAtBin(100, 22050, 22050, 0.5f), 22050);
    const QString broken = touch(QStringLiteral("c broken.mp3"), "not sound");
    TAppForm& window = makeForm();
    load({full, low, broken});

    for (const char* format : {"csv", "jsonl"}) {
        const QString target =
            media.filePath(QStringLiteral("export.") + QString::fromLatin1(format));
        resultsToSave = {target, QByteArray(format) == "csv" ? ResultLineFormat::Csv
                                                             : ResultLineFormat::JsonLines};
        window.ExportResults1->trigger();
        const CliRun cli =
            RunCli({QStringLiteral("check"), QStringLiteral("--no-cache"),
                    QStringLiteral("--format"), QString::fromLatin1(format), full, low, broken},
                   media.path());
        EXPECT_EQ(QString::fromUtf8(ReadAll(target)), cli.out) << format;
    }
    EXPECT_TRUE(errors.isEmpty()) << errors.join(u'\n').toStdString();

    // Cancelled: nothing written.
    resultsToSave = {};
    window.ExportResults1->trigger();
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(AppFormTest, ARaisedAnalysisIsExportedAsTheCliReportsIt) {
    const QString ok = touch(QStringLiteral("fine 320k.mp3"));
    const QString raises = touch(QStringLiteral("raise.mp3"));
    TAppForm& window = makeForm();
    load({ok, raises});
    resultsToSave = {media.filePath(QStringLiteral("out.csv")), ResultLineFormat::Csv};
    window.ExportResults1Click();
    const QStringList lines = QString::fromUtf8(ReadAll(resultsToSave.FileName)).split(u'\n');
    ASSERT_EQ(lines.size(), 4) << lines.join(u'|').toStdString(); // header, 2 rows, final newline
    // The verdict's fields, then the second opinion's: none made by the
    // scripted analysis, an error for the one that raised.
    const QString noEvidence = QStringLiteral(",unknown,0,0,0,0,0,0,0,0,0,0,0,0,0,0");
    EXPECT_EQ(lines[1],
              ok + QStringLiteral(",320,44100,16000.5,false,Possible,true,for fine 320k.mp3") +
                  QStringLiteral(",unknown,,") + noEvidence);
    EXPECT_EQ(lines[2],
              raises +
                  QStringLiteral(",0,0,0,false,Error,false,Analysis failed: scripted failure") +
                  QStringLiteral(",error,,The file could not be analysed; the reason says why.") +
                  noEvidence);
}

TEST_F(AppFormTest, AFailedExportSaysWhyAndLeavesNoFile) {
    TAppForm& window = makeForm();
    load({touch(QStringLiteral("x 128k.mp3"))});
    // A file where the folder should be: the export cannot be created.
    touch(QStringLiteral("blocked"), "a file");
    resultsToSave = {media.filePath(QStringLiteral("blocked/out.csv")), ResultLineFormat::Csv};
    window.ExportResults1Click();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains(QStringLiteral("blocked/out.csv"))) << errors[0].toStdString();
    EXPECT_GT(errors[0].split(u'\n').value(1).size(), 0) << "and the reason on the next line";

    // An existing export is replaced whole or not at all: a read-only folder
    // keeps the old file as it was (root may write anywhere, so only for others).
    const QString kept = touch(QStringLiteral("ro/out.csv"), "old contents\n");
    if (::geteuid() != 0) {
        QFile::setPermissions(media.filePath(QStringLiteral("ro")),
                              QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        resultsToSave = {kept, ResultLineFormat::Csv};
        window.ExportResults1Click();
        QFile::setPermissions(media.filePath(QStringLiteral("ro")), QFileDevice::ReadOwner |
                                                                        QFileDevice::WriteOwner |
                                                                        QFileDevice::ExeOwner);
        EXPECT_EQ(errors.size(), 2);
        EXPECT_EQ(ReadAll(kept), QByteArray("old contents\n"));
    }
}

TEST_F(AppFormTest, CtrlCCopiesTheSelectedRowsAsTabSeparatedText) {
    const QString a = touch(QStringLiteral("a 320k.mp3"));
    const QString b = touch(QStringLiteral("b 128k.mp3"));
    const QString c = touch(QStringLiteral("c error.mp3"));
    TAppForm& window = makeForm();
    load({a, b, c});
    selectRows({0, 2});
    window.ListView1->setFocus();
    QApplication::clipboard()->clear();
    QTest::keyClick(window.ListView1, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(),
              a + QStringLiteral("\t320\t44100\t16000\tPossible\tfor a 320k.mp3\tUnknown\n") + c +
                  QStringLiteral("\t0\t0\t0\tError\tCannot open file\tError\n"));
}

TEST_F(AppFormTest, StoredResultsSpareTheAnalysisUntilForgotten) {
    QTemporaryDir cacheDir;
    auto cache = std::make_shared<ResultCache>(cacheDir.filePath(QStringLiteral("r.sqlite")),
                                               QStringLiteral("test"));
    auto analysed = std::make_shared<std::atomic<int>>(0);
    environment.Cache = cache;
    environment.Analyze = Reports([cache, analysed](const QString& path) {
        return AnalyzeThroughCache(cache.get(), path,
                                   [analysed](const QString& p) {
                                       ++*analysed;
                                       return QualityAndSource{ScriptedAnalysis(p), {}};
                                   })
            .Quality;
    });
    const QStringList files = {touch(QStringLiteral("a 320k.mp3"), "a"),
                               touch(QStringLiteral("b 128k.mp3"), "b")};
    TAppForm& window = makeForm();
    load(files);
    const QStringList firstRows = rowsAsText();
    load(files);
    EXPECT_EQ(analysed->load(), 2);
    EXPECT_EQ(rowsAsText().mid(2), firstRows) << "the same rows from the stored results";

    window.ForgetStoredResults1->trigger();
    EXPECT_EQ(cache->size(), 0);
    load(files);
    EXPECT_EQ(analysed->load(), 4);
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(AppFormTest, RowsFromTheStoredResultsKeepTheirAssessment) {
    QTemporaryDir cacheDir;
    auto cache = std::make_shared<ResultCache>(cacheDir.filePath(QStringLiteral("r.sqlite")),
                                               QStringLiteral("test"));
    auto analysed = std::make_shared<std::atomic<int>>(0);
    environment.Analyze = [cache, analysed](const QString& path, std::stop_token) {
        FileReport report;
        report.Path = path;
        const QualityAndSource both =
            AnalyzeThroughCache(cache.get(), path, [analysed](const QString& p) {
                ++*analysed;
                SourceAssessment source;
                source.Kind = Assessment::Transcoded;
                source.Source = QStringLiteral("AAC ~160 kbps");
                source.Explanation = QStringLiteral("A wall where AAC puts it.");
                return QualityAndSource{ScriptedAnalysis(p), source};
            });
        report.Quality = both.Quality;
        report.Source = both.Source;
        return report;
    };
    const QString file = touch(QStringLiteral("a 320k.mp3"), "a");
    TAppForm& window = makeForm();
    load({file});
    load({file});
    EXPECT_EQ(analysed->load(), 1);
    ASSERT_EQ(window.ListView1->rowCount(), 2);
    for (int row = 0; row < 2; ++row) {
        const QTableWidgetItem* cell = window.ListView1->item(row, ResultList::colAssessment);
        ASSERT_NE(cell, nullptr);
        EXPECT_EQ(cell->text(), QStringLiteral("Transcoded \u00b7 AAC ~160 kbps")) << row;
        EXPECT_EQ(cell->toolTip(), u"A wall where AAC puts it.") << row;
    }
}

TEST(KorvaneProgram, StartedWithAFolderAnalysesItsFilesAndKeepsTheResults) {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("album"));
    QDir().mkpath(folder);
    for (int i = 1; i <= 3; ++i)
        WriteWav(folder + QStringLiteral("/%1.wav").arg(i), SineAtBin(100 * i, 44100, 22050),
                 44100);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), dir.filePath(QStringLiteral("cache")));
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(KORVANE_GUI_PATH), {folder});
    ASSERT_TRUE(program.waitForStarted(10000));
    // The results it keeps tell from outside that the folder was loaded.
    const QString database = dir.filePath(QStringLiteral("cache/korvane/results.sqlite"));
    qint64 stored = 0;
    for (int waited = 0; waited < 600 && stored < 3; ++waited) {
        QTest::qWait(100);
        if (QFile::exists(database))
            stored = ResultCache(database, QStringLiteral("reader")).size();
    }
    program.terminate();
    program.waitForFinished(5000);
    EXPECT_EQ(stored, 3);
}
