// Bringing files in: the Add Files and Add Folder dialogs and drops.
#include "AppFormFixture.h"
#include "analysis/AudioAnalyzer.h"
#include "analysis/Spectrogram.h"
#include "common/FileCollection.h"
#include "support/TestMedia.h"

#include <QAction>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QMimeData>
#include <QTest>
#include <QToolButton>
#include <QtEndian>
#include <sys/stat.h>

TEST_F(AppFormTest, FolderLoadAppendsRowsInScanOrder) {
    const QString a = touch(QStringLiteral("album/a.mp3"));
    const QString b = touch(QStringLiteral("album/sub/b.wav"));
    const QString c = touch(QStringLiteral("album/c.flac"));
    touch(QStringLiteral("album/cover.jpg"));
    const QString folder = media.filePath(QStringLiteral("album"));
    QStringList scanOrder;
    ScanFolder(folder, scanOrder);
    ASSERT_EQ(scanOrder.size(), 3);

    TAppForm& window = makeForm();
    load({QStringLiteral("/earlier.mp3")});
    EXPECT_TRUE(loadFolder(folder));
    EXPECT_EQ(captions(), QStringList{QStringLiteral("/earlier.mp3")} + scanOrder);
    EXPECT_EQ(window.FoundFiles, scanOrder);
    EXPECT_EQ(window.LastFolder, folder);
    EXPECT_EQ(window.statusText(), u"");
    EXPECT_FALSE(window.StopButton->isVisible());
    EXPECT_TRUE(window.AddFiles1->isEnabled());

    // Loading the same folder again appends its files again.
    loadFolder(folder);
    EXPECT_EQ(window.ListView1->rowCount(), 7);
}

TEST_F(AppFormTest, FolderWithoutSupportedFilesAddsNoRowsAndEndsWithAnEmptyStatus) {
    touch(QStringLiteral("docs/readme.txt"));
    touch(QStringLiteral("docs/song.opus"));
    TAppForm& window = makeForm();
    loadFolder(media.filePath(QStringLiteral("docs")));
    EXPECT_EQ(window.ListView1->rowCount(), 0);
    EXPECT_EQ(window.statusText(), u"");
}

TEST_F(AppFormTest, UpperCaseExtensionsAreScannedOpusOnlyThroughAddFiles) {
    const QString upper = touch(QStringLiteral("mix/Song.MP3"));
    const QString opus = touch(QStringLiteral("mix/song.opus"));
    TAppForm& window = makeForm();
    loadFolder(media.filePath(QStringLiteral("mix")));
    EXPECT_EQ(captions(), QStringList{upper});

    window.Clear1Click();
    filesToPick = {opus, upper};
    window.AddFiles1->trigger();
    waitForLoad();
    EXPECT_EQ(captions(), (QStringList{opus, upper}));
    EXPECT_EQ(lastNameFilters.size(), 2);
    EXPECT_TRUE(lastNameFilters.value(0).contains(u"*.opus"));
}

TEST_F(AppFormTest, AddFilesTakesAnyFileAndTheAnalysisJudgesIt) {
    environment.Analyze = AnalyzeFile;
    const QString notes = touch(QStringLiteral("notes.txt"), "no sound here");
    TAppForm& window = makeForm();
    filesToPick = {notes};
    window.AddFiles1Click();
    waitForLoad();
    ASSERT_EQ(window.ListView1->rowCount(), 1);
    EXPECT_EQ(window.ListView1->subItem(0, 3), u"Error");
    EXPECT_EQ(window.ListView1->subItem(0, 4), AnalyzeAudioQuality(notes).Reason);

    filesToPick.clear(); // cancelled
    window.AddFiles1Click();
    EXPECT_FALSE(window.isLoading());
    EXPECT_EQ(window.ListView1->rowCount(), 1);
}

TEST_F(AppFormTest, AddFolderLoadsEveryChosenFolderInTurn) {
    const QString one = touch(QStringLiteral("one/1.mp3"));
    const QString two = touch(QStringLiteral("two/2.mp3"));
    const QString three = touch(QStringLiteral("three/3.mp3"));
    TAppForm& window = makeForm();
    foldersToPick = {media.filePath(QStringLiteral("one")), media.filePath(QStringLiteral("two")),
                     media.filePath(QStringLiteral("three"))};
    window.ToolButton1->trigger();
    EXPECT_TRUE(waitForLoad());
    EXPECT_EQ(captions(), (QStringList{one, two, three}));
    EXPECT_EQ(window.LastFolder, media.filePath(QStringLiteral("three")));

    foldersToPick.clear();
    window.AddFolder1Click();
    EXPECT_FALSE(window.isLoading());
    EXPECT_EQ(lastStartFolder, media.filePath(QStringLiteral("three")));
    EXPECT_EQ(window.ListView1->rowCount(), 3);
}

TEST_F(AppFormTest, DropsKeepSupportedNamesSkipFoldersAndHandOverAFolderNamedLikeAFile) {
    environment.Analyze = AnalyzeFile;
    QDir(media.path()).mkpath(QStringLiteral("Plain Folder"));
    QDir(media.path()).mkpath(QStringLiteral("Live.mp3"));
    const QString wav = touch(QStringLiteral("x.wav"), "RIFF broken");
    const QString upper = touch(QStringLiteral("Song.MP3"));
    const QString opus = touch(QStringLiteral("song.opus"));
    TAppForm& window = makeForm();

    dropOnto(&window, {media.filePath(QStringLiteral("Plain Folder")),
                       media.filePath(QStringLiteral("Live.mp3")), wav, opus, upper});
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return window.ListView1->rowCount() == 3 && !window.isLoading(); }, 10000));
    EXPECT_EQ(captions(), (QStringList{media.filePath(QStringLiteral("Live.mp3")), wav, upper}));
    EXPECT_EQ(window.ListView1->subItem(0, 3), u"Error"); // a folder is no media file
    EXPECT_EQ(window.statusText(), u"");
}

TEST_F(AppFormTest, DroppedLongPathArrivesWhole) {
    QString deep = QStringLiteral("d");
    while (media.filePath(deep).size() < 300)
        deep += QStringLiteral("/a-rather-long-folder-name");
    const QString path = touch(deep + QStringLiteral("/track.flac"));
    ASSERT_GT(path.size(), 300);
    TAppForm& window = makeForm();
    dropOnto(&window, {path});
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return window.ListView1->rowCount() == 1 && !window.isLoading(); }, 10000));
    EXPECT_EQ(captions(), QStringList{path});
}

// A folder of damaged files, with the real analysis and renderer: the scan
// passes over the FIFO without blocking, every other file gets its row, the
// ones that cannot be read say why, and choosing each row draws what decodes.
TEST_F(AppFormTest, FolderOfDamagedFilesLoadsWithTheRealAnalysis) {
    environment.Analyze = AnalyzeFile;
    environment.RenderSpectrogram = [](const QString& path, std::stop_token stop) {
        return RenderSpectrogramFile(path, std::move(stop));
    };
    const QString folder = media.filePath(QStringLiteral("damaged"));
    ASSERT_TRUE(QDir().mkpath(folder));
    touch(QStringLiteral("damaged/notes.mp3"), "not sound");
    touch(QStringLiteral("damaged/empty.flac"));
    QByteArray wav =
        testmedia::ReadAll(testmedia::WriteWav(media.filePath(QStringLiteral("source.wav")),
                                               testmedia::SineAtBin(100, 44100, 8192), 44100));
    qToLittleEndian<quint32>(10'000'000, wav.data() + 24); // the sample rate field
    touch(QStringLiteral("damaged/rate.wav"), wav);
    const QString whole = testmedia::Generate(media.filePath(QStringLiteral("whole.mp3")),
                                              QStringLiteral("anoisesrc=d=4:r=44100:a=0.3"),
                                              {QStringLiteral("-b:a"), QStringLiteral("192k")});
    const QByteArray song = testmedia::ReadAll(whole);
    touch(QStringLiteral("damaged/cut.mp3"), song.left(song.size() / 2));
    ASSERT_EQ(mkfifo(QFile::encodeName(folder + QStringLiteral("/fifo.mp3")).constData(), 0600), 0);

    TAppForm& window = makeForm();
    window.TimerDrawItem->stop();
    loadFolder(folder);
    ASSERT_EQ(window.ListView1->rowCount(), 4) << captions().join(u' ').toStdString();

    QMap<QString, int> rowOf;
    for (int row = 0; row < 4; ++row)
        rowOf[QFileInfo(captions()[row]).fileName()] = row;
    const struct {
        const char* name;
        const char* reason; // null: a verdict, not an error
    } expected[] = {
        {"notes.mp3", "Cannot open file (BASS error 41)"},
        {"empty.flac", "Cannot open file (BASS error 41)"},
        {"rate.wav", "Cannot open file (BASS error 6)"},
        {"cut.mp3", nullptr},
    };
    for (const auto& e : expected) {
        ASSERT_TRUE(rowOf.contains(QString::fromLatin1(e.name))) << e.name;
        const int row = rowOf[QString::fromLatin1(e.name)];
        selectRows({row});
        drawChosenRow();
        if (e.reason) {
            EXPECT_EQ(window.ListView1->subItem(row, 3), u"Error") << e.name;
            EXPECT_EQ(window.ListView1->subItem(row, 4), QString::fromLatin1(e.reason)) << e.name;
            EXPECT_FALSE(window.PaintBox1->isVisible()) << e.name;
        } else {
            EXPECT_NE(window.ListView1->subItem(row, 3), u"Error")
                << window.ListView1->subItem(row, 4).toStdString();
            EXPECT_TRUE(window.PaintBox1->isVisible());
            // About the first half of four seconds: 2048 samples a column.
            EXPECT_GT(window.SpectrogramBMP.width(), 30);
            EXPECT_LT(window.SpectrogramBMP.width(), 60);
        }
    }
}
