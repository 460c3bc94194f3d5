#pragma once

#include "platform/UrlOpener.h"

#include <QPointer>
#include <QRect>
#include <QString>
#include <QUrl>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>

class QEvent;
class QFrame;
class QLabel;
class QMouseEvent;
class QPropertyAnimation;
class QPushButton;
class QTimer;

// Ticks of the notices' close timer left before a notice closes itself. One
// countdown serves every notice of a run: it starts at 11 and is never reset,
// so a later notice closes on whatever is left of it.
class NoticeCountdown {
public:
    // Counts one tick down; whether ticks are left afterwards.
    bool tick() { return --m_ticksLeft > 0; }
    std::int64_t ticksLeft() const { return m_ticksLeft; }

private:
    std::int64_t m_ticksLeft = 11;
};

struct NewVerOptions {
    QString ProductName;   // AppProductName
    QString ServerVersion; // the version the vendor server offers
    QString DownloadUrl;   // where to get it, as the server said
    // Whether the answer that named DownloadUrl came over https. An address
    // from a plain-http answer is opened only when it is the vendor's own.
    bool DownloadUrlFromHttps = false;
    // Opened instead of a missing or non-web download address; empty means
    // "http://" + the vendor host.
    QString HomePage;
    // The vendor's host, whose https addresses are trusted and whose download
    // page stands in for an untrusted address; empty means VendorHost().
    QString VendorHost;
    // Empty means the desktop's default handler.
    UrlOpenerFunction OpenUrl;
    // The run's countdown, shared with the notices before and after this one;
    // null gives the notice a fresh one of its own.
    std::shared_ptr<NoticeCountdown> Countdown;
};

// The small borderless notice in the top-right corner that announces a new
// version. It shows itself (TimerStart), never keeps the keyboard focus,
// can be dragged, and closes itself on the eleventh tick of TimerClose.
class TNewVer : public QWidget {
    Q_OBJECT
public:
    explicit TNewVer(NewVerOptions options, QWidget* owner = nullptr);

    // Creates the notice owned by `owner` (freed with it); it shows itself.
    static TNewVer* Open(NewVerOptions options, QWidget* owner);

    void TimerStartTimer();
    void TimerCloseTimer();
    void TimerLinkTimer();
    void Label2Click();
    void Button1Click();

    // The opening and closing animation, exposed so it can be driven to its end.
    QPropertyAnimation* Animation() const { return m_animation; }
    // Where the notice rests once opened.
    QRect RestingGeometry() const { return m_resting; }

    QFrame* Panel1 = nullptr;
    QLabel* Image1 = nullptr;
    QWidget* Panel2 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QWidget* Panel3 = nullptr;
    QPushButton* Button1 = nullptr;
    QTimer* TimerStart = nullptr;
    QTimer* TimerClose = nullptr;
    QTimer* TimerLink = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    void FormMouseDown(QMouseEvent* event);
    void FormMouseMove(QMouseEvent* event);
    void FormMouseUp();
    bool IsDragSource(QObject* watched) const;

    NewVerOptions m_options;
    QPropertyAnimation* m_animation = nullptr;
    QRect m_resting;
    bool m_closing = false;
    QPointer<QWidget> m_returnFocusTo;
    bool dragging = false;
    int dx = 0;
    int dy = 0;
};
