// Loads that analyse ahead: same rows as one file at a time, a window that
// answers while a row waits, and removal, stop and close during a load.
#include "AppFormFixture.h"
#include "app/ResultRow.h"
#include "common/FileCollection.h"
#include "support/TestMedia.h"

#include <QAction>
#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

namespace {

// An analysis that waits until the test lets a file through.
class Gate {
public:
    TAudioQualityResult analyse(const QString& path) {
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait_for(lock, std::chrono::seconds(20),
                               [&] { return m_all || m_open.count(path) > 0; });
        }
        return ScriptedAnalysis(path);
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
    // Opens everything a little later, from another thread: for when the
    // GUI thread itself will be waiting for the analysis to finish.
    void openAllSoon() {
        std::thread([this] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            openAll();
        }).detach();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::set<QString> m_open;
    bool m_all = false;
};

QStringList Numbered(int count) {
    QStringList paths;
    for (int i = 0; i < count; ++i)
        paths << QStringLiteral("/music/p%1.mp3").arg(i);
    return paths;
}

// Runs `step` on the GUI thread every few milliseconds while a load runs,
// until it returns true.
void WhileLoading(QObject* context, std::function<bool()> step) {
    auto* timer = new QTimer(context);
    QObject::connect(timer, &QTimer::timeout, context, [timer, step] {
        if (step())
            timer->deleteLater();
    });
    timer->start(5);
}

bool IsPending(TAppForm& window, const QString& path) {
    return window.pendingRow() && window.pendingRow()->text() == path;
}

} // namespace

// A window whose analysis waits at the gate. The gate outlives the window and
// opens before it is destroyed, so no analysis is left waiting on it.
class GatedLoadTest : public AppFormTest {
protected:
    GatedLoadTest() {
        environment.Analyze = [this](const QString& path) { return gate.analyse(path); };
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

    environment.Analyze = [](const QString& path) { return AnalyzeAudioQuality(path); };
    makeForm(false); // the window starts the decoding layer
    QStringList expected;
    QStringList scanOrder;
    ScanFolder(folder, scanOrder);
    ASSERT_EQ(scanOrder.size(), 7);
    for (const QString& path : scanOrder) {
        const TResultRowTexts texts = RowTextsFor(AnalyzeAudioQuality(path));
        QStringList cells{QFileInfo(path).fileName()};
        for (const QString& text : texts.SubItems)
            cells << text;
        cells << QString::number(texts.VerdictImageIndex);
        expected << cells.join(u'|');
    }

    for (int threads : {1, 4}) {
        environment.AnalysisThreads = threads;
        TAppForm& window = makeForm(false);
        window.KlasorYukle(folder);
        EXPECT_EQ(rowsAsText(), expected) << threads << " threads:\n"
                                          << rowsAsText().join(u'\n').toStdString();
    }
}

TEST_F(GatedLoadTest, WindowAnswersAndShowsTheWaitingRowWhileItsAnalysisRuns) {
    TAppForm& window = makeForm();
    const QStringList paths = Numbered(3);
    int ticksWhileWaiting = 0;
    WhileLoading(&window, [&] {
        if (!IsPending(window, paths[1]))
            return false;
        // The row is listed with its path and nothing else yet.
        EXPECT_EQ(window.ListView1->rowCount(), 2);
        EXPECT_EQ(window.ListView1->subItem(1, 0), u"");
        EXPECT_TRUE(window.StopButton->isVisible());
        EXPECT_FALSE(window.AddFiles1->isEnabled());
        if (++ticksWhileWaiting < 5)
            return false;
        gate.openAll();
        return true;
    });
    gate.open(paths[0]);
    EXPECT_TRUE(window.EkleAll(paths));
    EXPECT_EQ(ticksWhileWaiting, 5);
    EXPECT_EQ(captions(), paths);
    EXPECT_FALSE(window.StopButton->isVisible());
    EXPECT_TRUE(window.AddFiles1->isEnabled());
}

TEST_F(GatedLoadTest, DeletingTheWaitingRowDuringALoadDropsItsResultOnly) {
    TAppForm& window = makeForm();
    const QStringList paths = Numbered(6);
    WhileLoading(&window, [&] {
        if (!IsPending(window, paths[2]))
            return false;
        selectRows({0, 2}); // a finished row and the waiting one
        window.ListView1->setFocus();
        QTest::keyClick(window.ListView1, Qt::Key_Delete);
        EXPECT_EQ(window.pendingRow(), nullptr);
        gate.openAll();
        return true;
    });
    gate.open(paths[0]);
    gate.open(paths[1]);
    EXPECT_TRUE(window.EkleAll(paths));
    const QStringList rows = rowsAsText();
    ASSERT_EQ(rows.size(), 4);
    for (int i : {1, 3, 4, 5})
        EXPECT_TRUE(
            rows.contains(QStringLiteral("p%1.mp3|128|44100|16000|Possible|for p%1.mp3|50").arg(i)))
            << rows.join(u'\n').toStdString();
    EXPECT_EQ(captions(), (QStringList{paths[1], paths[3], paths[4], paths[5]}));
}

TEST_F(GatedLoadTest, ClearDuringALoadKeepsLoadingTheRestIntoTheRightRows) {
    TAppForm& window = makeForm();
    const QStringList paths = Numbered(5);
    WhileLoading(&window, [&] {
        if (!IsPending(window, paths[3]))
            return false;
        window.Clear1->trigger();
        gate.openAll();
        return true;
    });
    for (int i = 0; i < 3; ++i)
        gate.open(paths[i]);
    window.EkleAll(paths);
    EXPECT_EQ(rowsAsText(),
              QStringList{QStringLiteral("p4.mp3|128|44100|16000|Possible|for p4.mp3|50")});
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
    WhileLoading(&window, [&] {
        if (!IsPending(window, scanOrder[2]))
            return false;
        QTest::keyClick(&window, Qt::Key_Escape);
        gate.openAllSoon();
        return true;
    });
    gate.open(scanOrder[0]);
    gate.open(scanOrder[1]);
    window.AddFolder1Click();
    EXPECT_EQ(captions(), scanOrder.mid(0, 2)); // the second folder is not loaded either
    for (int row = 0; row < 2; ++row)
        EXPECT_EQ(window.ListView1->subItem(row, 3), u"Possible");
    EXPECT_EQ(window.statusText(), u"Loading stopped.");
    EXPECT_FALSE(window.isLoading());
    EXPECT_FALSE(window.StopButton->isVisible());
    EXPECT_TRUE(window.AddFolder1->isEnabled());

    // The next load runs normally.
    window.Ekle(other);
    EXPECT_EQ(window.ListView1->rowCount(), 3);
}

TEST_F(GatedLoadTest, StopButtonStopsALoad) {
    TAppForm& window = makeForm();
    const QStringList paths = Numbered(4);
    WhileLoading(&window, [&] {
        if (!IsPending(window, paths[1]))
            return false;
        QTest::mouseClick(window.StopButton, Qt::LeftButton);
        gate.openAllSoon();
        return true;
    });
    gate.open(paths[0]);
    EXPECT_FALSE(window.EkleAll(paths));
    EXPECT_EQ(captions(), QStringList{paths[0]});
}

TEST_F(GatedLoadTest, ClosingTheWindowDuringALoadEndsItCleanly) {
    TAppForm& window = makeForm();
    const QStringList paths = Numbered(4);
    WhileLoading(&window, [&] {
        if (!IsPending(window, paths[1]))
            return false;
        window.close();
        gate.openAllSoon();
        return true;
    });
    gate.open(paths[0]);
    EXPECT_FALSE(window.EkleAll(paths));
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(captions(), QStringList{paths[0]});
    form.reset(); // and it is destroyed without trouble
}

TEST_F(GatedLoadTest, ADropDuringALoadIsLoadedAfterIt) {
    const QString dropped = touch(QStringLiteral("late.flac"));
    TAppForm& window = makeForm();
    const QStringList paths = Numbered(2);
    WhileLoading(&window, [&] {
        if (!IsPending(window, paths[1]))
            return false;
        dropOnto(&window, {dropped});
        gate.openAll();
        return true;
    });
    gate.open(paths[0]);
    window.EkleAll(paths);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return window.ListView1->rowCount() == 3 && !window.isLoading(); }, 10000));
    EXPECT_EQ(captions(), (QStringList{paths[0], paths[1], dropped}));
}
