// The new-version notice on the offscreen platform: its timers are driven by
// calling their handlers, its animations by moving them to their end.
#include "services/NewVersionNotice.h"

#include "support/NamedCases.h"

#include <QApplication>
#include <QCursor>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

namespace {

struct Notice {
    QList<QUrl> opened;
    std::unique_ptr<TNewVer> window;

    explicit Notice(const QString& downloadUrl = QStringLiteral("https://example.org/dl"),
                    bool fromHttps = true, std::shared_ptr<NoticeCountdown> countdown = {}) {
        NewVerOptions options;
        options.Countdown = std::move(countdown);
        options.ProductName = QStringLiteral("Korvane");
        options.ServerVersion = QStringLiteral("2.0");
        options.DownloadUrl = downloadUrl;
        options.DownloadUrlFromHttps = fromHttps;
        options.HomePage = QStringLiteral("http://vendor.example.org");
        options.VendorHost = QStringLiteral("vendor.example.org");
        options.OpenUrl = [this](const QUrl& url) {
            opened.append(url);
            return true;
        };
        window = std::make_unique<TNewVer>(options);
        // The test is the clock.
        window->TimerStart->stop();
        window->TimerClose->stop();
        window->TimerLink->stop();
    }

    void Open() {
        window->TimerStartTimer();
        QPropertyAnimation* animation = window->Animation();
        animation->setCurrentTime(animation->duration());
    }
};

void SendMouse(QWidget* target, QEvent::Type type, Qt::MouseButton button, QPoint local) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : button;
    QMouseEvent event(type, QPointF(local), QPointF(target->mapToGlobal(local)),
                      type == QEvent::MouseMove ? Qt::NoButton : button,
                      type == QEvent::MouseMove ? Qt::MouseButtons(button) : held, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

QPoint Drag(QWidget* grip, Qt::MouseButton button, QPoint by) {
    const QPoint start(5, 5);
    SendMouse(grip, QEvent::MouseButtonPress, button, start);
    SendMouse(grip, QEvent::MouseMove, button, start + by);
    SendMouse(grip, QEvent::MouseButtonRelease, button, start + by);
    return grip->window()->pos();
}

} // namespace

TEST(NewVersionNoticeTest, OpensInTheTopRightCornerAboveOtherWindowsWithoutTakingTheFocus) {
    QWidget mainWindow;
    mainWindow.show();
    mainWindow.activateWindow();
    QApplication::processEvents();

    Notice notice;
    TNewVer& w = *notice.window;
    EXPECT_FALSE(w.isVisible()) << "hidden until its first start tick";
    EXPECT_TRUE(w.TimerStart->interval() == 1 && w.TimerClose->interval() == 1000 &&
                w.TimerLink->interval() == 100);

    w.TimerStartTimer();
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(w.TimerStart->isActive());
    // The opening grows the window out of its centre.
    EXPECT_LT(w.geometry().width(), 320);
    w.Animation()->setCurrentTime(w.Animation()->duration());

    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(w.geometry(), QRect(screen.x() + screen.width() - 320 - 5, screen.y() + 5, 320, 68));
    EXPECT_TRUE(w.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(w.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(w.windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(w.testAttribute(Qt::WA_ShowWithoutActivating));
    QApplication::processEvents();
    EXPECT_FALSE(w.isActiveWindow());
    EXPECT_EQ(QApplication::activeWindow(), &mainWindow);
}

TEST(NewVersionNoticeTest, NamesTheProductAndTheOfferedVersion) {
    Notice notice;
    EXPECT_EQ(notice.window->Label1->text(), QStringLiteral("UPDATE AVAILABLE"));
    EXPECT_EQ(notice.window->Label2->text(), QStringLiteral("Click to download Korvane 2.0"));
    EXPECT_EQ(notice.window->Label2->textFormat(), Qt::PlainText);
}

TEST(NewVersionNoticeTest, ClosesItselfOnTheEleventhTick) {
    Notice notice;
    notice.Open();
    TNewVer& w = *notice.window;
    for (int tick = 1; tick <= 10; ++tick) {
        w.TimerCloseTimer();
        ASSERT_TRUE(w.isVisible()) << "closed after tick " << tick;
    }
    const QRect before = w.geometry();
    w.TimerCloseTimer();
    EXPECT_FALSE(w.TimerClose->isActive());
    EXPECT_EQ(w.Animation()->state(), QAbstractAnimation::Running);
    w.Animation()->setCurrentTime(w.Animation()->duration());
    EXPECT_FALSE(w.isVisible());
    EXPECT_LT(w.geometry().width(), before.width()) << "it collapses towards its centre";
    EXPECT_TRUE(notice.opened.isEmpty());
}

TEST(NewVersionNoticeTest, ALaterNoticeClosesOnWhatIsLeftOfTheRunsCountdown) {
    const auto countdown = std::make_shared<NoticeCountdown>();
    Notice first(QStringLiteral("https://example.org/dl"), true, countdown);
    first.Open();
    for (int tick = 1; tick <= 4; ++tick)
        first.window->TimerCloseTimer();
    first.window->close();
    EXPECT_EQ(countdown->ticksLeft(), 7);

    Notice second(QStringLiteral("https://example.org/dl"), true, countdown);
    second.Open();
    TNewVer& w = *second.window;
    for (int tick = 1; tick <= 6; ++tick) {
        w.TimerCloseTimer();
        ASSERT_TRUE(w.isVisible()) << "closed after tick " << tick;
        ASSERT_EQ(w.Animation()->state(), QAbstractAnimation::Stopped) << tick;
    }
    w.TimerCloseTimer();
    EXPECT_EQ(w.Animation()->state(), QAbstractAnimation::Running) << "closing on the 7th tick";
    EXPECT_EQ(countdown->ticksLeft(), 0);
}

TEST(NewVersionNoticeTest, DragsWithAnyButtonButTheRight) {
    Notice notice;
    notice.Open();
    TNewVer& w = *notice.window;
    const QPoint home = w.pos();

    EXPECT_EQ(Drag(w.Panel1, Qt::RightButton, QPoint(-40, 30)), home);
    EXPECT_EQ(Drag(w.Label1, Qt::LeftButton, QPoint(-40, 30)), home + QPoint(-40, 30));
    EXPECT_EQ(Drag(w.Image1, Qt::MiddleButton, QPoint(-10, 5)), home + QPoint(-50, 35));
    EXPECT_EQ(Drag(w.Panel3, Qt::LeftButton, QPoint(50, -35)), home);

    // The link and its container start no drag.
    EXPECT_EQ(Drag(w.Panel2, Qt::LeftButton, QPoint(-20, 20)), home);
    SendMouse(w.Label2, QEvent::MouseButtonPress, Qt::LeftButton, QPoint(2, 2));
    SendMouse(w.Label2, QEvent::MouseMove, Qt::LeftButton, QPoint(-30, 30));
    EXPECT_EQ(w.pos(), home);
    // A move without a press does not drag either.
    SendMouse(w.Panel1, QEvent::MouseMove, Qt::NoButton, QPoint(40, 40));
    EXPECT_EQ(w.pos(), home);
}

struct LinkCase {
    const char* name;
    QString downloadUrl;
    QString opened;
    bool fromHttps = true; // the answer that named the address
};

class NoticeLinkTest : public ::testing::TestWithParam<LinkCase> {};

TEST_P(NoticeLinkTest, OpensOnlyWebAddressesElseTheHomePage) {
    Notice notice(GetParam().downloadUrl, GetParam().fromHttps);
    notice.Open();
    TNewVer& w = *notice.window;
    const QPoint inside = w.Label2->rect().center();
    SendMouse(w.Label2, QEvent::MouseButtonPress, Qt::LeftButton, inside);
    SendMouse(w.Label2, QEvent::MouseButtonRelease, Qt::LeftButton, inside);
    ASSERT_EQ(notice.opened.size(), 1);
    EXPECT_EQ(notice.opened[0].toString(), GetParam().opened);
    EXPECT_FALSE(w.isVisible());
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, NoticeLinkTest,
    ::testing::Values(LinkCase{"Https", QStringLiteral("https://example.org/dl/korvane-2.0.tar.xz"),
                               QStringLiteral("https://example.org/dl/korvane-2.0.tar.xz")},
                      LinkCase{"Http", QStringLiteral("http://example.org/dl"),
                               QStringLiteral("http://example.org/dl")},
                      LinkCase{"Empty", QString(), QStringLiteral("http://vendor.example.org")},
                      LinkCase{"LocalFile", QStringLiteral("file:///usr/bin/xterm"),
                               QStringLiteral("http://vendor.example.org")},
                      LinkCase{"BarePath", QStringLiteral("/home/user/.bashrc"),
                               QStringLiteral("http://vendor.example.org")},
                      LinkCase{"OtherHandler", QStringLiteral("smb://attacker/share/setup.desktop"),
                               QStringLiteral("http://vendor.example.org")},
                      LinkCase{"PlainAnswerForeignAddress",
                               QStringLiteral("https://example.org/dl/korvane-2.0.tar.xz"),
                               QStringLiteral("https://vendor.example.org/"), false},
                      LinkCase{"PlainAnswerVendorsAddress",
                               QStringLiteral("https://dl.vendor.example.org/korvane-2.0.tar.xz"),
                               QStringLiteral("https://dl.vendor.example.org/korvane-2.0.tar.xz"),
                               false}),
    CaseName());

TEST(NewVersionNoticeTest, OtherClicksOnTheLinkOpenNothing) {
    Notice notice;
    notice.Open();
    TNewVer& w = *notice.window;
    const QPoint inside = w.Label2->rect().center();
    SendMouse(w.Label2, QEvent::MouseButtonPress, Qt::RightButton, inside);
    SendMouse(w.Label2, QEvent::MouseButtonRelease, Qt::RightButton, inside);
    // Pressed on the link but let go outside it.
    SendMouse(w.Label2, QEvent::MouseButtonPress, Qt::LeftButton, inside);
    SendMouse(w.Label2, QEvent::MouseButtonRelease, Qt::LeftButton, QPoint(-20, -20));
    EXPECT_TRUE(notice.opened.isEmpty());
    EXPECT_TRUE(w.isVisible());
}

TEST(NewVersionNoticeTest, CloseButtonClosesWithoutOpeningAnything) {
    Notice notice;
    notice.Open();
    notice.window->Button1->click();
    EXPECT_FALSE(notice.window->isVisible());
    EXPECT_TRUE(notice.opened.isEmpty());
}

TEST(NewVersionNoticeTest, TheLinkLightsUpUnderTheMouse) {
    Notice notice;
    notice.Open();
    TNewVer& w = *notice.window;
    const QColor highlight = QApplication::palette().color(QPalette::Highlight);
    const QColor text = QApplication::palette().color(QPalette::WindowText);
    ASSERT_NE(highlight, text);

    QCursor::setPos(w.Label2->mapToGlobal(w.Label2->rect().center()));
    w.TimerLinkTimer();
    EXPECT_EQ(w.Label2->palette().color(QPalette::WindowText), highlight);

    QCursor::setPos(w.Label2->mapToGlobal(QPoint(-30, -30)));
    w.TimerLinkTimer();
    EXPECT_EQ(w.Label2->palette().color(QPalette::WindowText), text);
}
