// The spectrum panel: which row changes render, when it hides, and saving it.
#include "app/SpectrumPanel.h"

#include "AppFormFixture.h"
#include "analysis/SpectrogramAnnotation.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMenu>
#include <QMouseEvent>
#include <QSplitter>
#include <QSplitterHandle>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <stdexcept>
#include <thread>

namespace {

// A render that takes until it is stopped (a minute at most), then hands
// back a green picture all the same, so a given-up result would show if the
// window took it. Other files are drawn at once.
struct SlowRender {
    std::atomic<bool> started = false;
    std::atomic<bool> sawStop = false;
    std::atomic<bool> returned = false;

    SpectrogramRender operator()(const std::stop_token& stop) {
        started = true;
        const auto until = std::chrono::steady_clock::now() + std::chrono::minutes(1);
        while (!stop.stop_requested() && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        sawStop = stop.stop_requested();
        SpectrogramRender render;
        render.picture = QImage(8, 1024, QImage::Format_BGR888);
        render.picture.fill(Qt::green);
        returned = true;
        return render;
    }
};

QStringList Paths() {
    return {QStringLiteral("/music/a.mp3"), QStringLiteral("/music/b.mp3"),
            QStringLiteral("/music/error.mp3"), QStringLiteral("/music/raise.mp3"),
            QStringLiteral("/music/c.mp3")};
}

} // namespace

TEST_F(AppFormTest, RendersOncePerChangeOfTheChosenRow) {
    TAppForm& window = makeForm();
    load(Paths());
    window.TimerDrawItem->stop(); // the test ticks by hand
    drawChosenRow();
    EXPECT_TRUE(renderedFiles().isEmpty()); // nothing chosen

    const int sequence[] = {0, 1, 0, 0};
    for (int row : sequence) {
        selectRows({row});
        drawChosenRow();
        drawChosenRow();
    }
    EXPECT_EQ(renderedFiles(), (QStringList{Paths()[0], Paths()[1], Paths()[0]}));
    EXPECT_EQ(window.LastDrawnFile, Paths()[0]);

    // Select All makes the first row the chosen one: already drawn, so nothing.
    window.SelectAll1->trigger();
    drawChosenRow();
    EXPECT_EQ(renderedFiles().size(), 3);
    selectRows({4});
    drawChosenRow();
    window.SelectAll1->trigger();
    drawChosenRow();
    EXPECT_EQ(renderedFiles().size(), 5);
}

TEST_F(AppFormTest, TheTimerFollowsTheChosenRowOnItsOwn) {
    TAppForm& window = makeForm();
    load(Paths());
    selectRows({1});
    EXPECT_TRUE(QTest::qWaitFor([&] { return !renderedFiles().isEmpty(); }, 2000));
    QTest::qWait(300);
    EXPECT_EQ(renderedFiles(), QStringList{Paths()[1]});
    EXPECT_TRUE(window.PaintBox1->isVisible());
}

TEST_F(AppFormTest, ErrorRowsHideThePanelAndAGoodRowShowsItBelowTheSplitter) {
    TAppForm& window = makeForm();
    load(Paths());
    window.TimerDrawItem->stop();
    QSplitterHandle* handle = window.Splitter1->handle(1);

    selectRows({0});
    drawChosenRow();
    EXPECT_TRUE(window.PaintBox1->isVisible());
    EXPECT_TRUE(handle->isVisible());
    EXPECT_EQ(window.PaintBox1->height(), 136);

    for (int errorRow : {2, 3}) { // bitrate "0", then "-"
        selectRows({errorRow});
        drawChosenRow();
        EXPECT_FALSE(window.PaintBox1->isVisible()) << errorRow;
        EXPECT_FALSE(handle->isVisible()) << errorRow;
    }
    EXPECT_EQ(renderedFiles().size(), 1);
    EXPECT_EQ(window.LastDrawnFile, Paths()[3]);

    selectRows({1});
    drawChosenRow();
    EXPECT_TRUE(window.PaintBox1->isVisible());
    EXPECT_TRUE(handle->isVisible());
    // The splitter sits directly above the panel.
    const QRect panel = window.PaintBox1->geometry();
    EXPECT_EQ(handle->geometry().bottom() + 1, panel.top());
    EXPECT_EQ(handle->height(), 5);

    // Clearing the list leaves the picture where it is.
    window.Clear1->trigger();
    drawChosenRow();
    EXPECT_TRUE(window.PaintBox1->isVisible());
    EXPECT_FALSE(window.SpectrogramBMP.isNull());
}

TEST_F(AppFormTest, AFailedFirstRenderShowsABlankPanel) {
    environment.RenderSpectrogram = [this](const QString& file, std::stop_token) {
        noteRendered(file);
        SpectrogramRender failed;
        failed.error = SpectrogramError::NotAudio;
        return failed;
    };
    TAppForm& window = makeForm();
    load(Paths());
    window.TimerDrawItem->stop();
    selectRows({0});
    drawChosenRow();
    EXPECT_EQ(renderedFiles(), QStringList{Paths()[0]});
    EXPECT_TRUE(window.PaintBox1->isVisible());
    EXPECT_TRUE(window.SpectrogramBMP.isNull());
    const QImage shown = window.PaintBox1->grab().toImage();
    EXPECT_EQ(shown.pixelColor(shown.width() / 2, shown.height() / 2), QColor(Qt::black));
}

// Whatever way a render fails, the picture before it stays on the panel;
// the decoder's refusals say nothing, running out of memory says so.
TEST_F(AppFormTest, AFailedRenderKeepsTheOldPictureAndShowsTheReasonForMemory) {
    const struct {
        const char* name;
        std::function<SpectrogramRender()> second; // the render of the second row
        const char* status;                        // null: nothing said
    } cases[] = {
        {"out of memory",
         [] {
             SpectrogramRender render;
             render.error = SpectrogramError::OutOfMemory;
             return render;
         },
         "Could not draw the spectrogram: not enough memory"},
        {"throws out of memory", []() -> SpectrogramRender { throw std::bad_alloc(); },
         "Could not draw the spectrogram: not enough memory"},
        {"raises", []() -> SpectrogramRender { throw std::runtime_error("disk on fire"); },
         "Could not draw the spectrogram: disk on fire"},
        {"cannot decode",
         [] {
             SpectrogramRender render;
             render.error = SpectrogramError::CannotDecode;
             render.decoderCode = 41;
             return render;
         },
         nullptr},
    };
    for (const auto& c : cases) {
        std::atomic<int> calls = 0;
        environment.RenderSpectrogram = [&](const QString&, std::stop_token) {
            return ++calls == 2 ? c.second() : FourColumnPicture();
        };
        TAppForm& window = makeForm();
        load(Paths());
        window.TimerDrawItem->stop();
        selectRows({0});
        drawChosenRow();
        const QImage before = window.SpectrogramBMP;
        ASSERT_FALSE(before.isNull()) << c.name;
        const QImage shownBefore = window.PaintBox1->grab().toImage();

        selectRows({1});
        drawChosenRow();
        EXPECT_EQ(calls, 2) << c.name;
        EXPECT_EQ(window.SpectrogramBMP, before) << c.name;
        EXPECT_EQ(window.PaintBox1->grab().toImage(), shownBefore) << c.name;
        EXPECT_TRUE(window.PaintBox1->isVisible()) << c.name;
        EXPECT_TRUE(window.Save1->isEnabled()) << c.name;
        EXPECT_EQ(window.StatusBar1->currentMessage(),
                  c.status ? QString::fromLatin1(c.status) : QString())
            << c.name;
    }
}

// Choosing another row, Clear and Delete each give up the render under way:
// it is stopped, and what it still delivers never reaches the panel.
TEST_F(AppFormTest, ARenderGivenUpNeverShowsAndSaveWaitsForTheFinishedPicture) {
    enum class Action { AnotherRow, Clear, Delete };
    for (Action action : {Action::AnotherRow, Action::Clear, Action::Delete}) {
        SCOPED_TRACE(int(action));
        SlowRender slow;
        environment.RenderSpectrogram = [this, &slow](const QString& file, std::stop_token stop) {
            noteRendered(file);
            return file.endsWith(u"/a.mp3") ? slow(stop) : FourColumnPicture();
        };
        TAppForm& window = makeForm();
        load(Paths());
        window.TimerDrawItem->stop();
        selectRows({4});
        drawChosenRow();
        const QImage earlier = window.SpectrogramBMP;
        ASSERT_FALSE(earlier.isNull());

        selectRows({0}); // a.mp3, slow
        window.TimerDrawItemTimer();
        ASSERT_TRUE(QTest::qWaitFor([&] { return slow.started.load(); }, 10000));
        // Drawing: the old picture stays, the panel says so, Save waits.
        EXPECT_TRUE(window.isDrawing());
        EXPECT_TRUE(window.PaintBox1->isDrawing());
        EXPECT_EQ(window.SpectrogramBMP, earlier);
        EXPECT_FALSE(window.Save1->isEnabled());
        pngToSave = media.filePath(QStringLiteral("during.png"));
        window.Save1->trigger();
        EXPECT_FALSE(QFileInfo::exists(pngToSave));

        switch (action) {
        case Action::AnotherRow:
            selectRows({1});
            drawChosenRow();
            break;
        case Action::Clear:
            window.Clear1->trigger();
            break;
        case Action::Delete:
            window.Delete1->trigger();
            break;
        }
        EXPECT_FALSE(window.isDrawing());
        ASSERT_TRUE(QTest::qWaitFor([&] { return slow.returned.load(); }, 10000));
        EXPECT_TRUE(slow.sawStop);
        QTest::qWait(100); // its delivery, queued behind the return, is handled
        EXPECT_FALSE(window.PaintBox1->isDrawing());
        EXPECT_TRUE(window.Save1->isEnabled());
        ASSERT_FALSE(window.SpectrogramBMP.isNull());
        EXPECT_NE(window.SpectrogramBMP.pixelColor(4, 500), QColor(Qt::green));
        if (action == Action::AnotherRow) {
            EXPECT_EQ(renderedFiles().last(), Paths()[1]);
            EXPECT_EQ(window.SpectrogramBMP, FourColumnPicture().picture);
        } else {
            // The picture from before stays; the path is drawn again when it
            // comes back.
            EXPECT_EQ(window.SpectrogramBMP.cacheKey(), earlier.cacheKey());
            EXPECT_TRUE(window.LastDrawnFile.isEmpty());
        }

        // Save, now that nothing is being drawn, saves the finished picture:
        // its white first column, no green, no note over it.
        pngToSave = media.filePath(QStringLiteral("after.png"));
        window.Save1->trigger();
        EXPECT_TRUE(errors.isEmpty()) << errors.join(u'\n').toStdString();
        const QImage saved(pngToSave);
        ASSERT_FALSE(saved.isNull());
        EXPECT_EQ(saved.pixelColor(0, saved.height() / 2), QColor(Qt::white));
        EXPECT_EQ(saved.pixelColor(saved.width() - 1, 2), QColor(200, 40, 10));
        QFile::remove(pngToSave);
    }
}

// Closing the window, or destroying it, while a render runs stops it and
// waits for its thread: nothing of it is left running afterwards.
TEST_F(AppFormTest, ClosingDuringARenderEndsItsThreadPromptly) {
    for (bool destroy : {false, true}) {
        SCOPED_TRACE(destroy);
        SlowRender slow;
        environment.RenderSpectrogram = [&slow](const QString&, std::stop_token stop) {
            return slow(stop);
        };
        TAppForm& window = makeForm();
        load(Paths());
        window.TimerDrawItem->stop();
        selectRows({0});
        window.TimerDrawItemTimer();
        ASSERT_TRUE(QTest::qWaitFor([&] { return slow.started.load(); }, 10000));
        QElapsedTimer clock;
        clock.start();
        if (destroy)
            form.reset();
        else
            window.close();
        // Returned before close() or the destructor did: the thread was joined.
        EXPECT_TRUE(slow.returned);
        EXPECT_TRUE(slow.sawStop);
        EXPECT_LT(clock.elapsed(), 20000); // far below the minute it would take unstopped
        QTest::qWait(50);                  // a delivery queued meanwhile is dropped harmlessly
        if (!destroy) {
            EXPECT_FALSE(window.isDrawing());
        }
        form.reset();
    }
}

TEST_F(AppFormTest, SavedPngIsWhatThePanelShowsAfterTheSplitterMoved) {
    TAppForm& window = formShowingFirstPicture(Paths());
    ASSERT_EQ(window.PaintBox1->height(), 136);

    // Drag the splitter up until the panel is 300 pixels high.
    QSplitterHandle* handle = window.Splitter1->handle(1);
    const QPoint grip(handle->width() / 2, 2);
    const QPoint target = grip - QPoint(0, 164);
    QMouseEvent press(QEvent::MouseButtonPress, grip, handle->mapToGlobal(grip), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(handle, &press);
    QMouseEvent move(QEvent::MouseMove, target, handle->mapToGlobal(target), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(handle, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, target, handle->mapToGlobal(target),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(handle, &release);
    ASSERT_EQ(window.PaintBox1->height(), 300);

    pngToSave = media.filePath(QStringLiteral("panel.png"));
    window.Save1->trigger();
    EXPECT_TRUE(errors.isEmpty()) << errors.join(u'\n').toStdString();
    QImage saved(pngToSave);
    ASSERT_FALSE(saved.isNull());
    EXPECT_EQ(saved.size(), window.PaintBox1->size());
    EXPECT_EQ(saved.height(), 300);
    EXPECT_FALSE(saved.hasAlphaChannel());
    const QImage shown = window.PaintBox1->grab().toImage().convertToFormat(QImage::Format_RGB888);
    EXPECT_EQ(saved.convertToFormat(QImage::Format_RGB888), shown);
    // Nearest pixel: the white first column of the 4-column bitmap fills a
    // quarter of the width, without any blending at its edge.
    const int middle = saved.height() / 2;
    EXPECT_EQ(saved.pixelColor(0, middle), QColor(Qt::white));
    EXPECT_EQ(saved.pixelColor(saved.width() / 4 - 1, middle), QColor(Qt::white));
    EXPECT_EQ(saved.pixelColor(saved.width() / 4 + 1, middle), QColor(200, 40, 10));

    // The panel stays as it is when the size chosen is shown again.
    selectRows({2});
    drawChosenRow();
    selectRows({1});
    drawChosenRow();
    EXPECT_EQ(window.PaintBox1->height(), 300);
}

TEST_F(AppFormTest, SaveThatCannotWriteReportsTheReasonAndCancelDoesNothing) {
    TAppForm& window = makeForm();
    load(Paths());
    window.TimerDrawItem->stop();
    selectRows({0});
    drawChosenRow();

    pngToSave.clear(); // cancelled
    window.Save1Click();
    EXPECT_TRUE(errors.isEmpty());

    pngToSave = media.filePath(QStringLiteral("no/such/folder/x.png"));
    EXPECT_NO_THROW(window.Save1Click());
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains(pngToSave)) << errors[0].toStdString();
    EXPECT_GT(errors[0].size(), pngToSave.size() + 20); // with a reason
    EXPECT_TRUE(window.PaintBox1->isVisible());
}

TEST_F(AppFormTest, ScaleAndCutoffIsOffAtFirstAndTheNextWindowRemembersIt) {
    TAppForm* window = &makeForm(false);
    QAction* item = window->ShowScaleAndCutoff1;
    ASSERT_NE(item, nullptr);
    EXPECT_TRUE(window->PopupMenu1->actions().contains(item));
    EXPECT_EQ(item->text(), u"Show scale and cutoff");
    EXPECT_TRUE(item->isCheckable());
    EXPECT_FALSE(item->isChecked());
    EXPECT_FALSE(window->PaintBox1->scaleAndCutoffShown());

    for (bool shown : {true, false}) {
        window->ShowScaleAndCutoff1->trigger();
        EXPECT_EQ(window->PaintBox1->scaleAndCutoffShown(), shown);
        window = &makeForm(false); // as at the program's next start
        EXPECT_EQ(window->ShowScaleAndCutoff1->isChecked(), shown);
        EXPECT_EQ(window->PaintBox1->scaleAndCutoffShown(), shown);
    }
}

TEST_F(AppFormTest, SaveWithScaleAndCutoffShownSavesThemTooAndWithoutThemThePlainPicture) {
    TAppForm& window = formShowingFirstPicture(Paths());
    ASSERT_TRUE(window.PaintBox1->isVisible());

    auto save = [&](const char* name) {
        pngToSave = media.filePath(QString::fromLatin1(name));
        window.Save1->trigger();
        EXPECT_TRUE(errors.isEmpty()) << errors.join(u'\n').toStdString();
        return QImage(pngToSave).convertToFormat(QImage::Format_RGB888);
    };
    const QImage plain = save("plain.png");
    window.ShowScaleAndCutoff1->trigger();
    const QImage overlaid = save("overlaid.png");
    window.ShowScaleAndCutoff1->trigger();
    const QImage plainAgain = save("plain-again.png");

    ASSERT_FALSE(plain.isNull());
    ASSERT_EQ(overlaid.size(), plain.size());
    EXPECT_EQ(plainAgain, plain);
    EXPECT_NE(overlaid, plain);

    // The cutoff line crosses the picture at the row's cutoff (16000.5 Hz of
    // 22050), in a colour the picture itself does not have.
    const QColor line(0, 230, 255);
    const int y = int(std::floor(SpectrogramYOfFrequency(16000.5, 44100, plain.height())));
    int lineOnRow = 0;
    for (int x = 0; x < overlaid.width(); ++x)
        lineOnRow += overlaid.pixelColor(x, y) == line;
    EXPECT_GT(lineOnRow, overlaid.width() / 2);
    EXPECT_NE(plain.pixelColor(overlaid.width() / 2, y), line);
    // The scale: ticks and figures along the left edge, below the cutoff too.
    int changedLeft = 0;
    for (int row = y + 10; row < overlaid.height(); ++row) {
        for (int x = 0; x < 30; ++x)
            changedLeft += overlaid.pixelColor(x, row) != plain.pixelColor(x, row);
    }
    EXPECT_GT(changedLeft, 50);
    // What is saved is what is shown.
    window.ShowScaleAndCutoff1->trigger();
    const QImage shown = window.PaintBox1->grab().toImage().convertToFormat(QImage::Format_RGB888);
    EXPECT_EQ(save("overlaid-again.png"), shown);
}

// The line follows the picture: the chosen row's cutoff once its picture is
// drawn, the old one while a failed render leaves the old picture up.
TEST_F(AppFormTest, CutoffLineFollowsThePictureShown) {
    environment.Analyze = Reports([](const QString& path) {
        TAudioQualityResult result = ScriptedAnalysis(path);
        result.CutoffHz = path.contains(u"low") ? 8000.0f : 16000.0f;
        return result;
    });
    const auto render = environment.RenderSpectrogram;
    environment.RenderSpectrogram = [render](const QString& file, std::stop_token stop) {
        if (!file.contains(u"broken"))
            return render(file, stop);
        SpectrogramRender failed;
        failed.error = SpectrogramError::NotAudio;
        return failed;
    };
    TAppForm& window = makeForm();
    window.resize(900, 800);
    load({QStringLiteral("/music/high.mp3"), QStringLiteral("/music/low.mp3"),
          QStringLiteral("/music/low-broken.mp3")});
    window.TimerDrawItem->stop();
    window.ShowScaleAndCutoff1->trigger();

    const QColor line(0, 230, 255);
    auto lineRow = [&]() {
        const QImage shown = window.PaintBox1->picture(window.PaintBox1->size());
        for (int y = 0; y < shown.height(); ++y) {
            int count = 0;
            for (int x = 0; x < shown.width(); ++x)
                count += shown.pixelColor(x, y) == line;
            if (count > shown.width() / 2)
                return y;
        }
        return -1;
    };
    auto rowOf = [&](float hz) {
        return int(std::floor(SpectrogramYOfFrequency(hz, 44100, window.PaintBox1->height())));
    };
    selectRows({0});
    drawChosenRow();
    EXPECT_EQ(lineRow(), rowOf(16000.0f));
    selectRows({1});
    drawChosenRow();
    EXPECT_EQ(lineRow(), rowOf(8000.0f));
    selectRows({0});
    drawChosenRow();
    selectRows({2}); // its render fails: the high row's picture and line stay
    drawChosenRow();
    EXPECT_EQ(lineRow(), rowOf(16000.0f));
}
