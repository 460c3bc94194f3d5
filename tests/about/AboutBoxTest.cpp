// The about box on the offscreen platform: texts, the falling characters on
// its canvas, the hidden picture, dragging, the Info menu and the links.
#include "about/AboutBox.h"

#include "about/MatrixRain.h"
#include "support/ShippedLanguage.h"
#include "translation/Language.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

namespace {

class AboutBoxTest : public ::testing::Test {
protected:
    void TearDown() override {
        box.reset();
        language.reset(); // back to English for the next test
    }

    void UseGerman() { InstallShippedGerman(language); }

    TAboutBox& Open(const QString& executableFolder = QStringLiteral(KORVANE_BIN_DIR)) {
        AboutBoxOptions options;
        options.ProductName = QStringLiteral("Korvane");
        options.AppVersion = QStringLiteral("1.0");
        options.VendorHost = QStringLiteral("vendor.example.org");
        options.ExecutableFolder = executableFolder;
        options.OpenUrl = [this](const QUrl& url) {
            opened.append(url);
            return true;
        };
        options.ShowMessage = [this](QWidget*, const MessageRequest& request) {
            messages.append(request);
            return QMessageBox::Ok;
        };
        options.TickCount = [this] { return now; };
        options.ScreenPixelsPerInch = [this] { return screenPpi; };
        options.WindowPixelsPerInch = [this] { return windowPpi; };
        options.Random = random;
        box = std::make_unique<TAboutBox>(options);
        box->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(box.get()));
        return *box;
    }

    QList<QUrl> opened;
    QList<MessageRequest> messages;
    qint64 now = 1000;
    MatrixRandom random; // empty: the program's generator
    double screenPpi = 96;
    double windowPpi = 96;
    std::optional<InstalledLanguage> language;
    std::unique_ptr<TAboutBox> box;
};

void SendMouse(QWidget* target, QEvent::Type type, Qt::MouseButton button, QPoint local) {
    QMouseEvent event(type, QPointF(local), QPointF(target->mapToGlobal(local)),
                      type == QEvent::MouseMove ? Qt::NoButton : button,
                      type == QEvent::MouseButtonRelease ? Qt::MouseButtons() : button,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

// Whether some pixel of `cell` on the canvas has exactly `colour`.
bool CellHasColour(const QImage& canvas, QRect cell, QColor colour) {
    const qreal ratio = canvas.devicePixelRatio();
    const QRect pixels(QPoint(int(cell.left() * ratio), int(cell.top() * ratio)),
                       cell.size() * ratio);
    for (int y = pixels.top(); y <= pixels.bottom(); ++y) {
        for (int x = pixels.left(); x <= pixels.right(); ++x) {
            if (canvas.pixelColor(x, y) == colour)
                return true;
        }
    }
    return false;
}

bool CellIsBlack(const QImage& canvas, QRect cell) {
    const qreal ratio = canvas.devicePixelRatio();
    for (int y = int(cell.top() * ratio); y < int((cell.bottom() + 1) * ratio); ++y) {
        for (int x = int(cell.left() * ratio); x < int((cell.right() + 1) * ratio); ++x) {
            if (canvas.pixelColor(x, y) != QColor(Qt::black))
                return false;
        }
    }
    return true;
}

} // namespace

TEST_F(AboutBoxTest, EnglishTexts) {
    Open();
    EXPECT_EQ(box->windowTitle(), QStringLiteral("About Korvane"));
    EXPECT_EQ(box->Label2->text(), QStringLiteral("Korvane 1.0"));
    EXPECT_EQ(box->BitBtn1->text(), QStringLiteral("OK"));
    EXPECT_EQ(box->BitBtn2->text(), QStringLiteral("Info"));
    const QList<QAction*> items = box->PopupMenu1->actions();
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items[0]->text(), QStringLiteral("Acknowledgements..."));
    EXPECT_EQ(items[1]->text(), QStringLiteral("How to uninstall..."));
    EXPECT_EQ(items[2]->text(), QStringLiteral("License..."));
    EXPECT_EQ(box->Label5->text(), QStringLiteral("vendor.example.org"));
    EXPECT_EQ(box->Label5->toolTip(), QStringLiteral("http://vendor.example.org"));
    EXPECT_EQ(box->size(), QSize(446, 374));
    EXPECT_TRUE(box->windowFlags().testFlag(Qt::Tool));
    EXPECT_EQ(box->palette().color(QPalette::Window), QColor(Qt::black));
    EXPECT_FALSE(box->Image2->pixmap().isNull()) << "the logo";
    EXPECT_FALSE(box->PanelEgg->isVisible());
}

TEST_F(AboutBoxTest, TranslatedTitleIsFormattedWithTheProduct) {
    UseGerman();
    Open();
    EXPECT_EQ(box->windowTitle(), QStringLiteral("\u00dcber Korvane"));
    EXPECT_EQ(box->PopupMenu1->actions()[2]->text(), QStringLiteral("Lizenz..."));
    EXPECT_EQ(box->Label2->text(), QStringLiteral("Korvane 1.0")) << "never translated";
}

TEST_F(AboutBoxTest, DropsDrawTheirHeadBrightTheirTrailDimAndEraseTheirTail) {
    random = [](int bound) { return bound - 1; };
    Open();
    box->tmTimer->stop();
    EXPECT_EQ(box->tmTimer->interval(), 50);
    const MatrixRain& rain = box->rain();
    EXPECT_EQ(rain.MatrixAlphabet, QStringLiteral("qbx"));
    box->StartMatrix();
    box->tmTimer->stop();
    EXPECT_EQ(box->matrixWidth, box->bitmapWidth / 8);
    EXPECT_EQ(box->matrixHeight, box->bitmapHeight / 12);
    EXPECT_EQ(rain.DropCount, 2 * box->matrixWidth);
    EXPECT_EQ(rain.MatrixTickCount, 0);

    // Every draw answers with its largest value: each drop starts in the last
    // row, brightness 99, speed 3.
    const int last = box->matrixHeight - 1;
    const TMatrixDrop first = rain.MatrixDrops[0];
    ASSERT_EQ(first.Y, last);
    ASSERT_EQ(first.Brightness, 99);
    // Paint something in the tail cell first, so that its erasing shows.
    const QRect tail(0, TailRow(last, box->matrixHeight) * 12, 8, 12);
    box->outCanvas.fill(Qt::white);

    box->MatrixTick();
    EXPECT_EQ(rain.MatrixTickCount, 1);
    EXPECT_TRUE(CellHasColour(box->outCanvas, QRect(0, last * 12, 8, 12), QColor(148, 252, 98)));
    EXPECT_TRUE(
        CellHasColour(box->outCanvas, QRect(0, (last - 1) * 12, 8, 12), QColor(49, 84, 32)));
    EXPECT_TRUE(CellIsBlack(box->outCanvas, tail));
    EXPECT_EQ(rain.MatrixDrops[0].Y, last + 1) << "speed 3 moves on tick 0";
    box->MatrixTick();
    EXPECT_EQ(rain.MatrixDrops[0].Y, last + 1) << "but not on tick 1";
}

TEST_F(AboutBoxTest, SlideIntervalFollowsTheDpiAt1xAnd2x) {
    for (const auto& [window, interval] : {std::pair{96.0, 5}, std::pair{192.0, 2}}) {
        windowPpi = window;
        Open();
        box->Image1DblClick();
        EXPECT_TRUE(box->TimerEgg->isActive());
        EXPECT_EQ(box->TimerEgg->interval(), interval) << window;
    }
}

TEST_F(AboutBoxTest, MeasuredDpiOfAnOrdinaryScreenGivesFiveMilliseconds) {
    AboutBoxOptions options;
    options.ProductName = QStringLiteral("Korvane");
    TAboutBox measured(options);
    measured.show();
    measured.Image1DblClick();
    EXPECT_EQ(measured.TimerEgg->interval(), 5);
    measured.TimerEgg->stop();
}

TEST_F(AboutBoxTest, DoubleClickOnTheIconSlidesThePanelAwayAndThePictureBringsItBack) {
    Open();
    const QPoint home = box->Panel1->pos();
    QTest::mouseDClick(box->VirtualImage1, Qt::LeftButton);
    ASSERT_TRUE(box->TimerEgg->isActive());
    EXPECT_TRUE(box->PanelEgg->isVisible());
    box->TimerEgg->stop(); // the test is the clock
    box->TimerEgg->start();
    box->TimerEggTimer();
    EXPECT_EQ(box->Panel1->x(), home.x() + 5);

    // Double-clicks during the slide change nothing.
    box->TimerEgg->setInterval(77);
    QTest::mouseDClick(box->VirtualImage1, Qt::LeftButton);
    EXPECT_EQ(box->TimerEgg->interval(), 77);
    QTest::mouseDClick(box->ImageEgg, Qt::LeftButton);
    EXPECT_TRUE(box->PanelEgg->isVisible());
    EXPECT_EQ(box->Panel1->x(), home.x() + 5);

    int steps = 1;
    while (box->TimerEgg->isActive() && steps < 1000) {
        box->TimerEggTimer();
        ++steps;
    }
    EXPECT_GT(box->Panel1->x(), box->width());
    EXPECT_LE(box->Panel1->x(), box->width() + 5);
    EXPECT_EQ(box->Panel1->y(), home.y());

    QTest::mouseDClick(box->ImageEgg, Qt::LeftButton);
    EXPECT_FALSE(box->PanelEgg->isVisible());
    EXPECT_EQ(box->Panel1->pos(), QPoint((446 - 350) / 2, home.y()));
}

TEST_F(AboutBoxTest, DraggingMovesTheWindowExceptWithTheRightButton) {
    Open();
    box->move(100, 100);
    const QPoint start = box->pos();
    SendMouse(box->Panel1, QEvent::MouseButtonPress, Qt::LeftButton, {10, 10});
    SendMouse(box->Panel1, QEvent::MouseMove, Qt::LeftButton, {40, 30});
    SendMouse(box->Panel1, QEvent::MouseButtonRelease, Qt::LeftButton, {40, 30});
    EXPECT_EQ(box->pos(), start + QPoint(30, 20));

    const QPoint second = box->pos();
    SendMouse(box->Label2, QEvent::MouseButtonPress, Qt::RightButton, {5, 5});
    SendMouse(box->Label2, QEvent::MouseMove, Qt::RightButton, {50, 50});
    SendMouse(box->Label2, QEvent::MouseButtonRelease, Qt::RightButton, {50, 50});
    EXPECT_EQ(box->pos(), second);

    SendMouse(box->Image2, QEvent::MouseButtonPress, Qt::MiddleButton, {5, 5});
    SendMouse(box->Image2, QEvent::MouseMove, Qt::MiddleButton, {-5, 15});
    SendMouse(box->Image2, QEvent::MouseButtonRelease, Qt::MiddleButton, {-5, 15});
    EXPECT_EQ(box->pos(), second + QPoint(-10, 10));

    // After the release, moving the mouse moves nothing.
    SendMouse(box->Image2, QEvent::MouseMove, Qt::NoButton, {30, 30});
    EXPECT_EQ(box->pos(), second + QPoint(-10, 10));
}

TEST_F(AboutBoxTest, InfoClickedWhileItsMenuIsOpenClosesItWithoutReopening) {
    Open();
    int shown = 0;
    QObject::connect(box->PopupMenu1, &QMenu::aboutToShow, [&] {
        ++shown;
        // The user closes the menu; on Windows the closing click lands on the
        // button right after.
        QTimer::singleShot(0, [] {
            if (QWidget* popup = QApplication::activePopupWidget())
                popup->close();
        });
    });
    QPoint openedAt;
    QObject::connect(box->PopupMenu1, &QMenu::aboutToShow,
                     [&] { openedAt = box->PopupMenu1->pos(); });

    QTest::mouseClick(box->BitBtn2, Qt::LeftButton);
    EXPECT_EQ(shown, 1);
    now += 99; // the click that closed it
    QTest::mouseClick(box->BitBtn2, Qt::LeftButton);
    EXPECT_EQ(shown, 1) << "closing click does not reopen";
    QTest::mouseClick(box->BitBtn2, Qt::LeftButton);
    EXPECT_EQ(shown, 2) << "the next click opens again";
    now += 100;
    QTest::mouseClick(box->BitBtn2, Qt::LeftButton);
    EXPECT_EQ(shown, 3) << "100 ms after closing, a click opens";
}

TEST_F(AboutBoxTest, LicenseBesideTheExecutableIsOpenedByTheDesktop) {
    Open();
    box->License1->trigger();
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0], QUrl::fromLocalFile(QStringLiteral(KORVANE_BIN_DIR) +
                                             QStringLiteral("/license.txt")));
    EXPECT_TRUE(messages.isEmpty());
    QFile shipped(QStringLiteral(KORVANE_BIN_DIR) + QStringLiteral("/license.txt"));
    ASSERT_TRUE(shipped.open(QIODevice::ReadOnly));
    EXPECT_TRUE(shipped.readAll().contains("Korvane"));
}

TEST_F(AboutBoxTest, MissingLicenseIsReported) {
    QTemporaryDir empty;
    UseGerman();
    Open(empty.path());
    box->License1->trigger();
    EXPECT_TRUE(opened.isEmpty());
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].Icon, QMessageBox::Critical);
    EXPECT_EQ(messages[0].Title, QStringLiteral("Lizenz"));
    EXPECT_EQ(messages[0].Text, QStringLiteral("Datei nicht gefunden!"));
}

TEST_F(AboutBoxTest, LinksOpenTheVendorsPages) {
    Open();
    // The link is no drag handle, and a press dragged off it opens nothing.
    const QPoint before = box->pos();
    SendMouse(box->Label5, QEvent::MouseButtonPress, Qt::LeftButton, {5, 5});
    SendMouse(box->Label5, QEvent::MouseMove, Qt::LeftButton, {40, 40});
    SendMouse(box->Label5, QEvent::MouseButtonRelease, Qt::LeftButton, {40, 40});
    EXPECT_EQ(box->pos(), before);
    EXPECT_TRUE(opened.isEmpty());

    QTest::mouseClick(box->Label5, Qt::LeftButton);
    box->Credits1->trigger();
    box->Howtouninstall1->trigger();
    const QList<QUrl> expected{
        QUrl(QStringLiteral("http://vendor.example.org")),
        QUrl(QStringLiteral("https://vendor.example.org/blog/credits-and-acknowledgements/")),
        QUrl(QStringLiteral("http://vendor.example.org/blog/how-to-uninstall-quiblex-software/")),
    };
    EXPECT_EQ(opened, expected);
}

TEST_F(AboutBoxTest, OkAndEscapeClose) {
    Open();
    QTest::mouseClick(box->BitBtn1, Qt::LeftButton);
    EXPECT_FALSE(box->isVisible());
    Open();
    box->BitBtn2->setFocus();
    QTest::keyClick(box->BitBtn2, Qt::Key_Escape);
    EXPECT_FALSE(box->isVisible());
}
