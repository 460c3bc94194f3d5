// Loads beside the window: the same rows as one file at a time, in list
// order whatever order the analyses finish in; a window that answers while a
// row waits; removal, Stop, Clear and closing during a load.
#include "AppFormFixture.h"
#include "app/ResultRow.h"
#include "common/FileCollection.h"
#include "support/TestMedia.h"
#include "support/ThreadCount.h"

#include <QAction>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <thread>

namespace {

// An analysis that waits until the test lets its file through, or until its
// stop is requested, as a decoder ends at its next read.
class Gate {
public:
    FileReport analyse(const QString& path, std::stop_token stop) {
        {
            std::unique_lock lock(m_mutex);
            m_entered.insert(path);
            m_changed.notify_all();
            m_changed.wait(lock, stop, [&] { return m_all || m_open.count(path) > 0; });
            if (stop.stop_requested())
                ++m_stopped;
        }
        FileReport report;
        report.Path = path;
        report.Quality = ScriptedAnalysis(path);
        return report;
    }
    void open(const QString& path) {
        std::lock_guard lock(m_mutex);
        m_open.insert(path);
        m_changed.notify_all();
    }
    void openAll() {
        std::lock_guard lock(m_mutex);
        m_all = true;
        m_changed.notify_all();
    }
    bool entered(const QString& path) {
        std::lock_guard lock(m_mutex);
        return m_entered.count(path) > 0;
    }
    std::size_t enteredCount() {
        std::lock_guard lock(m_mutex);
        return m_entered.size();
    }
    int stopped() {
        std::lock_guard lock(m_mutex);
        return m_stopped;
    }

private:
    std::mutex m_mutex;
    std::condition_variable_any m_changed;
    std::set<QString> m_open;
    std::set<QString> m_entered;
    int m_stopped = 0;
    bool m_all = false;
};

QStringList Numbered(int count) {
    QStringList paths;
    for (int i = 0; i < count; ++i)
        paths << QStringLiteral("/music/p%1.mp3").arg(i);
    return paths;
}

bool IsPending(TAppForm& window, const QString& path) {
    return window.pendingRow() && window.pendingRow()->text() == path;
}

// Waits (running the event loop) until `path` is the row waiting for its analysis.
bool WaitUntilPending(TAppForm& window, const QString& path) {
    return QTest::qWaitFor([&] { return IsPending(window, path); }, 20000);
}

} // namespace

// A window whose analysis waits at the gate. The gate outlives the window and
// opens before it is destroyed, so no analysis is left waiting on it.
class GatedLoadTest : public AppFormTest {
protected:
    GatedLoadTest() {
        environment.Analyze = [this](const QString& path, std::stop_token stop) {
            return gate.analyse(path, stop);
        };
    }
    void TearDown() override {
        gate.openAll();
        AppFormTest::TearDown();
    }
    Gate gate;
};

TEST_F(AppFormTest, ParallelLoadGivesTheSameRowsAsOneFileAtATime) {
    using testmedia::Generate;
    const QString folder = media.filePath(QStringLiteral("set"));
    QDir().mkpath(folder + QStringLiteral("/sub"));
    const QString noise = QStringLiteral("anoisesrc=d=2:r=44100:a=0.3:seed=%1");
    Generate(folder + QStringLiteral("/full.flac"), noise.arg(1),
             {QStringLiteral("-c:a"), QStringLiteral("flac")});
    Generate(folder + QStringLiteral("/low.mp3"), noise.arg(2),
             {QStringLiteral("-c:a"), QStringLiteral("libmp3lame"), QStringLiteral("-b:a"),
              QStringLiteral("96k")});
    Generate(folder + QStringLiteral("/cut.wav"),
             noise.arg(3) + QStringLiteral(",lowpass=f=11000,lowpass=f=11000"));
    Generate(folder + QStringLiteral("/tone.ogg"), QStringLiteral("sine=f=440:d=2:r=48000"),
             {QStringLiteral("-c:a"), QStringLiteral("libvorbis")});
    Generate(folder + QStringLiteral("/silence.wav"), QStringLiteral("anullsrc=d=1:r=44100"));
    Generate(folder + QStringLiteral("/sub/clip.m4a"), noise.arg(4),
             {QStringLiteral("-c:a"), QStringLiteral("aac")});
    touch(QStringLiteral("set/broken.mp3"), "ID3 and then nothing useful");

    environment.Analyze = AnalyzeFile;
    makeForm(false); // the window starts the decoding layer
    QStringList expected;
    QStringList scanOrder;
    ScanFolder(folder, scanOrder);
    ASSERT_EQ(scanOrder.size(), 7);
    for (const QString& path : scanOrder) {
        const ResultRowTexts texts = RowTextsFor(AnalyzeAudioQuality(path));
        QStringList cells{QFileInfo(path).fileName()};
        for (const QString& text : texts.SubItems)
            cells << text;
        cells << QString::number(texts.VerdictImageIndex);
        expected << cells.join(u'|');
    }

    for (int threads : {1, 4}) {
        environment.AnalysisThreads = threads;
        makeForm(false);
        EXPECT_TRUE(loadFolder(folder));
        EXPECT_EQ(rowsAsText(), expected) << threads << " threads:\n"
                                          << rowsAsText().join(u'\n').toStdString();
    }
}

TEST_F(GatedLoadTest, WindowAnswersAndShowsTheWaitingRowWhileItsAnalysisRuns) {
    TAppForm& window = makeForm();
    const QStringList paths = Numbered(3);
    gate.open(paths[0]);
    window.addPaths(paths);
    ASSERT_TRUE(WaitUntilPending(window, paths[1]));
    // The row is listed with its path and nothing else yet; the window
    // answers meanwhile, a timer of its own keeps ticking.
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(5);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticks >= 5; }, 5000));
    EXPECT_TRUE(IsPending(window, paths[1]));
    EXPECT_EQ(window.ListView1->rowCount(), 2);
    EXPECT_EQ(window.ListView1->subItem(1, 0), u"");
    EXPECT_TRUE(window.StopButton->isVisible());
    EXPECT_FALSE(window.AddFiles1->isEnabled());

    gate.openAll();
    EXPECT_TRUE(waitForLoad());
    EXPECT_EQ(captions(), paths);
    EXPECT_FALSE(window.StopButton->isVisible());
    EXPECT_TRUE(window.AddFiles1->isEnabled());
}

// The later files are through first; their rows wait for the one before them
// and then come in list order, each with its own result.
TEST_F(GatedLoadTest, RowsComeInListOrderWhateverOrderTheAnalysesFinishIn) {
    environment.AnalysisThreads = 4;
    TAppForm& window = makeForm();
    const QStringList paths = Numbered(4);
    for (int i : {3, 2, 1})
        gate.open(paths[i]);
    window.addPaths(paths);
    ASSERT_TRUE(WaitUntilPending(window, paths[0]));
    QTest::qWait(100);
    EXPECT_EQ(window.ListView1->rowCount(), 1) << "nothing passes the first file";
    gate.open(paths[0]);
    EXPECT_TRUE(waitForLoad());
    QStringList expected;
    for (int i = 0; i < 4; ++i)
        expected << QStringLiteral("p%1.mp3|128|44100|16000|Possible|for p%1.mp3|50").arg(i);
    EXPECT_EQ(rowsAsText(), expected);
}

TEST_F(GatedLoadTest, DeletingTheWaitingRowDuringALoadDropsItsResultOnly) {
    TAppForm& window = makeForm();
    const QStringList paths = Numbered(6);
    gate.open(paths[0]);
    gate.open(paths[1]);
    window.addPaths(paths);
    ASSERT_TRUE(WaitUntilPending(window, paths[2]));
    selectRows({0, 2}); // a finished row and the waiting one
    window.ListView1->setFocus();
    QTest::keyClick(window.ListView1, Qt::Key_Delete);
    EXPECT_EQ(window.pendingRow(), nullptr);
    gate.openAll();
    EXPECT_TRUE(waitForLoad());
    const QStringList rows = rowsAsText();
    ASSERT_EQ(rows.size(), 4);
    for (int i : {1, 3, 4, 5})
        EXPECT_TRUE(
            rows.contains(QStringLiteral("p%1.mp3|128|44100|16000|Possible|for p%1.mp3|50").arg(i)))
            << rows.join(u'\n').toStdString();
    EXPECT_EQ(captions(), (QStringList{paths[1], paths[3], paths[4], paths[5]}));
}

// Clear ends the load as Stop does: the list is empty and stays empty, and the
// analyses waiting are stopped rather than finished.
TEST_F(GatedLoadTest, ClearDuringALoadEndsItAndNoRowComesAfter) {
    TAppForm& window = makeForm();
    const QStringList paths = Numbered(5);
    for (int i = 0; i < 3; ++i)
        gate.open(paths[i]);
    window.addPaths(paths);
    ASSERT_TRUE(WaitUntilPending(window, paths[3]));
    window.Clear1->trigger();
    EXPECT_FALSE(window.isLoading());
    EXPECT_EQ(window.ListView1->rowCount(), 0);
    EXPECT_GE(gate.stopped(), 1);
    gate.openAll();
    QTest::qWait(200);
    EXPECT_EQ(window.ListView1->rowCount(), 0);
    EXPECT_FALSE(window.isLoading());
}

TEST_F(GatedLoadTest, EscapeStopsALoadAndKeepsTheFinishedRows) {
    const QString folder = media.filePath(QStringLiteral("long"));
    for (int i = 0; i < 8; ++i)
        touch(QStringLiteral("long/t%1.mp3").arg(i));
    QStringList scanOrder;
    ScanFolder(folder, scanOrder);
    const QString other = touch(QStringLiteral("other/x.mp3"));
    foldersToPick = {folder, media.filePath(QStringLiteral("other"))};

    TAppForm& window = makeForm();
    gate.open(scanOrder[0]);
    gate.open(scanOrder[1]);
    window.AddFolder1Click();
    ASSERT_TRUE(WaitUntilPending(window, scanOrder[2]));
    QTest::keyClick(&window, Qt::Key_Escape);
    // Stopped at once, not when the waiting analysis would have finished.
    EXPECT_FALSE(window.isLoading());
    EXPECT_FALSE(waitForLoad());
    gate.openAll();
    QTest::qWait(200); // nothing more arrives, from this folder or the next
    EXPECT_EQ(captions(), scanOrder.mid(0, 2)); // the second folder is not loaded either
    for (int row = 0; row < 2; ++row)
        EXPECT_EQ(window.ListView1->subItem(row, 3), u"Possible");
    EXPECT_EQ(window.statusText(), u"Loading stopped.");
    EXPECT_FALSE(window.StopButton->isVisible());
    EXPECT_TRUE(window.AddFolder1->isEnabled());

    // The next load runs normally.
    window.Ekle(other);
    EXPECT_TRUE(waitForLoad());
    EXPECT_EQ(window.ListView1->rowCount(), 3);
}

// Stop keeps the rows listed and adds no more, although the analyses that
// were under way or done ahead would all finish now.
TEST_F(GatedLoadTest, StopButtonStopsALoadAndNoRowComesAfterIt) {
    environment.AnalysisThreads = 3;
    TAppForm& window = makeForm();
    const QStringList paths = Numbered(8);
    gate.open(paths[0]);
    for (int i = 2; i < 8; ++i)
        gate.open(paths[i]); // done ahead, held back by the second file
    window.addPaths(paths);
    ASSERT_TRUE(WaitUntilPending(window, paths[1]));
    ASSERT_TRUE(QTest::qWaitFor([&] { return gate.enteredCount() >= 3; }, 20000));
    QTest::mouseClick(window.StopButton, Qt::LeftButton);
    EXPECT_FALSE(window.isLoading());
    EXPECT_EQ(gate.stopped(), 1) << "the waiting analysis saw its stop";
    gate.openAll();
    QTest::qWait(200);
    EXPECT_EQ(captions(), QStringList{paths[0]});
    EXPECT_EQ(window.pendingRow(), nullptr);
}

// A scan that would take long (here a folder of many subfolders) is ended by
// Stop too; the load ends with no row and the status says it stopped.
TEST_F(GatedLoadTest, StopDuringTheFolderScanEndsIt) {
    const std::filesystem::path deep =
        QFile::encodeName(media.filePath(QStringLiteral("deep"))).toStdString();
    for (int i = 0; i < 300; ++i) {
        const std::filesystem::path folder = deep / ("d" + std::to_string(i));
        std::filesystem::create_directories(folder);
        std::ofstream(folder / "t.mp3").put('x');
    }
    TAppForm& window = makeForm();
    window.KlasorYukle(media.filePath(QStringLiteral("deep")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.statusText() == u"Loading Files..."; }, 5000));
    ASSERT_EQ(window.pendingRow(), nullptr) << "still scanning";
    window.StopLoading();
    EXPECT_FALSE(window.isLoading());
    EXPECT_EQ(window.statusText(), u"Loading stopped.");
    QTest::qWait(200);
    EXPECT_EQ(window.ListView1->rowCount(), 0);
    EXPECT_EQ(gate.enteredCount(), 0u) << "no file of the stopped scan is analysed";
}

// Closing the window during a load ends the work at once: the window goes,
// and no thread of the load is left once it is destroyed.
TEST_F(GatedLoadTest, ClosingTheWindowDuringALoadEndsItAndLeavesNoThread) {
    environment.AnalysisThreads = 4;
    TAppForm& window = makeForm();
    // Qt starts threads of its own with the first window; count from here.
    QTest::qWait(100);
    const int before = threadcount::Current();
    const QStringList paths = Numbered(8);
    gate.open(paths[0]);
    window.addPaths(paths);
    ASSERT_TRUE(WaitUntilPending(window, paths[1]));
    ASSERT_TRUE(QTest::qWaitFor([&] { return gate.enteredCount() >= 4; }, 20000));
    EXPECT_GT(threadcount::Current(), before);
    window.close();
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(window.isLoading());
    EXPECT_EQ(captions(), QStringList{paths[0]});
    form.reset();
    EXPECT_TRUE(threadcount::SettlesAtMost(before)) << threadcount::Current() << " > " << before;
}

TEST_F(GatedLoadTest, ADropDuringALoadIsLoadedAfterIt) {
    const QString dropped = touch(QStringLiteral("late.flac"));
    TAppForm& window = makeForm();
    const QStringList paths = Numbered(2);
    gate.open(paths[0]);
    window.addPaths(paths);
    ASSERT_TRUE(WaitUntilPending(window, paths[1]));
    dropOnto(&window, {dropped});
    gate.openAll();
    EXPECT_TRUE(waitForLoad());
    EXPECT_EQ(captions(), (QStringList{paths[0], paths[1], dropped}));
}
