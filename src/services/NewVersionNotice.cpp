#include "services/NewVersionNotice.h"

#include "common/WindowFont.h"
#include "services/WebHelpers.h"
#include "translation/Language.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int kClientWidth = 320;
constexpr int kClientHeight = 68;
constexpr int kEdgeGap = 5;
constexpr int kAnimationMs = 100;

// The "close" picture: a 32-pixel cross, shown at 16 pixels.
QPixmap ClosePicture() {
    QPixmap picture(32, 32);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(
        QPen(QApplication::palette().color(QPalette::WindowText), 4, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(8, 8, 24, 24);
    painter.drawLine(24, 8, 8, 24);
    return picture;
}

// The window squeezed to a sliver around its centre: where the opening
// animation starts and the closing one ends.
QRect Collapsed(const QRect& full) {
    return QRect(full.center(), QSize(1, 1));
}

} // namespace

TNewVer::TNewVer(NewVerOptions options, QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                         Qt::WindowDoesNotAcceptFocus),
      m_options(std::move(options)) {
    if (!m_options.Countdown)
        m_options.Countdown = std::make_shared<NoticeCountdown>();
    setObjectName(QStringLiteral("NewVer"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setFont(WindowFontInPoints(8));
    // Only a window of ours that had the focus gets it back; the notice must
    // not pull the focus from another program.
    m_returnFocusTo = QApplication::activeWindow();
    if (m_options.VendorHost.isEmpty()) {
        m_options.VendorHost = VendorHost();
    }
    if (m_options.HomePage.isEmpty()) {
        m_options.HomePage = QStringLiteral("http://") + m_options.VendorHost;
    }
    if (!m_options.OpenUrl) {
        m_options.OpenUrl = ::OpenUrl;
    }

    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    // The animations squeeze the window below what its contents would ask for.
    outer->setSizeConstraint(QLayout::SetNoConstraint);
    Panel1 = new QFrame(this);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setLineWidth(1);
    outer->addWidget(Panel1);

    auto* row = new QHBoxLayout(Panel1);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    Image1 = new QLabel(Panel1);
    Image1->setFixedSize(66, 66);
    Image1->setContentsMargins(3, 3, 3, 3);
    Image1->setAlignment(Qt::AlignCenter);
    row->addWidget(Image1);

    Panel2 = new QWidget(Panel1);
    auto* labels = new QVBoxLayout(Panel2);
    labels->setContentsMargins(3, 3, 3, 3);
    labels->setSpacing(0);
    Label1 = new QLabel(Panel2);
    Label1->setTextFormat(Qt::PlainText);
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setFixedHeight(16);
    Label1->setFont(WindowFontInPoints(10, {.Bold = true}));
    labels->addWidget(Label1);
    Label2 = new QLabel(Panel2);
    Label2->setTextFormat(Qt::PlainText);
    Label2->setAlignment(Qt::AlignCenter);
    Label2->setWordWrap(true);
    Label2->setCursor(Qt::PointingHandCursor);
    Label2->setFont(WindowFontInPoints(10, {.Underline = true}));
    labels->addWidget(Label2, 1);
    row->addWidget(Panel2, 1);

    Panel3 = new QWidget(Panel1);
    Panel3->setFixedWidth(22);
    auto* side = new QVBoxLayout(Panel3);
    side->setContentsMargins(0, 0, 0, 0);
    Button1 = new QPushButton(Panel3);
    Button1->setFixedSize(22, 22);
    Button1->setCursor(Qt::PointingHandCursor);
    Button1->setFocusPolicy(Qt::NoFocus);
    Button1->setIcon(QIcon(ClosePicture()));
    Button1->setIconSize(QSize(16, 16));
    side->addWidget(Button1);
    side->addStretch(1);
    row->addWidget(Panel3);

    for (QObject* source :
         {static_cast<QObject*>(this), static_cast<QObject*>(Panel1), static_cast<QObject*>(Image1),
          static_cast<QObject*>(Label1), static_cast<QObject*>(Panel3),
          static_cast<QObject*>(Panel2), static_cast<QObject*>(Label2)}) {
        source->installEventFilter(this);
    }
    connect(Button1, &QPushButton::clicked, this, &TNewVer::Button1Click);

    m_animation = new QPropertyAnimation(this, "geometry", this);
    m_animation->setDuration(kAnimationMs);
    connect(m_animation, &QPropertyAnimation::finished, this, [this] {
        if (m_closing) {
            m_closing = false;
            close();
        }
    });

    TimerStart = new QTimer(this);
    TimerStart->setInterval(1);
    connect(TimerStart, &QTimer::timeout, this, &TNewVer::TimerStartTimer);
    TimerClose = new QTimer(this);
    TimerClose->setInterval(1000);
    connect(TimerClose, &QTimer::timeout, this, &TNewVer::TimerCloseTimer);
    TimerLink = new QTimer(this);
    TimerLink->setInterval(100);
    connect(TimerLink, &QTimer::timeout, this, &TNewVer::TimerLinkTimer);

    FormCreate();
    TimerStart->start();
    TimerClose->start();
    TimerLink->start();
}

TNewVer* TNewVer::Open(NewVerOptions options, QWidget* owner) {
    return new TNewVer(std::move(options), owner);
}

void TNewVer::FormCreate() {
    const QIcon icon = QApplication::windowIcon();
    if (!icon.isNull()) {
        Image1->setPixmap(icon.pixmap(60, 60));
    }
    const QRect screen = QGuiApplication::primaryScreen()
                             ? QGuiApplication::primaryScreen()->geometry()
                             : QRect(0, 0, 1024, 768);
    m_resting = QRect(screen.x() + screen.width() - kClientWidth - kEdgeGap, screen.y() + kEdgeGap,
                      kClientWidth, kClientHeight);
    setGeometry(m_resting);
    Label1->setText(Translate(QStringLiteral("UPDATE AVAILABLE")));
    Label2->setText(Translate(QStringLiteral("Click to download")) + QLatin1Char(' ') +
                    m_options.ProductName + QLatin1Char(' ') + m_options.ServerVersion);
}

void TNewVer::TimerStartTimer() {
    TimerStart->stop();
    setGeometry(Collapsed(m_resting));
    show();
    m_animation->stop();
    m_animation->setStartValue(Collapsed(m_resting));
    m_animation->setEndValue(m_resting);
    m_animation->start();
    if (m_returnFocusTo && m_returnFocusTo != this) {
        m_returnFocusTo->activateWindow();
    }
}

void TNewVer::TimerCloseTimer() {
    if (m_options.Countdown->tick()) {
        return;
    }
    TimerClose->stop();
    if (!isVisible()) {
        close();
        return;
    }
    m_closing = true;
    m_animation->stop();
    m_animation->setStartValue(geometry());
    m_animation->setEndValue(Collapsed(geometry()));
    m_animation->start();
}

void TNewVer::TimerLinkTimer() {
    const bool over = Label2->rect().contains(Label2->mapFromGlobal(QCursor::pos()));
    const QPalette::ColorRole role = over ? QPalette::Highlight : QPalette::WindowText;
    QPalette palette = Label2->palette();
    palette.setColor(QPalette::WindowText, QApplication::palette().color(role));
    Label2->setPalette(palette);
}

void TNewVer::Label2Click() {
    // An address from the network is opened only when it is a web address
    // (never a local program, file or other handler), and only when the
    // answer that named it could not have been forged on the way.
    const QString address = NoticeAddress(m_options.DownloadUrl, m_options.DownloadUrlFromHttps,
                                          m_options.VendorHost, m_options.HomePage);
    try {
        m_options.OpenUrl(QUrl(address, QUrl::StrictMode));
    } catch (...) {
        // Opening the page is a courtesy; nothing to report if it fails.
    }
    close();
}

void TNewVer::Button1Click() {
    close();
}

void TNewVer::closeEvent(QCloseEvent* event) {
    // Closing only hides: the notice stays allocated, idle, until the program ends.
    m_animation->stop();
    m_closing = false;
    dragging = false;
    TimerClose->stop();
    TimerLink->stop();
    QWidget::closeEvent(event);
}

bool TNewVer::IsDragSource(QObject* watched) const {
    return watched == this || watched == Panel1 || watched == Image1 || watched == Label1 ||
           watched == Panel3;
}

bool TNewVer::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    const bool mouse = type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease ||
                       type == QEvent::MouseMove || type == QEvent::MouseButtonDblClick;
    if (!mouse) {
        return QWidget::eventFilter(watched, event);
    }
    auto* mouseEvent = static_cast<QMouseEvent*>(event);
    if (watched == Label2) {
        // The link is clicked, never dragged.
        if (type == QEvent::MouseButtonRelease && mouseEvent->button() == Qt::LeftButton &&
            Label2->rect().contains(mouseEvent->position().toPoint())) {
            Label2Click();
        }
        return true;
    }
    if (watched == Panel2) {
        return true; // the labels' container starts no drag either
    }
    if (!IsDragSource(watched)) {
        return QWidget::eventFilter(watched, event);
    }
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        FormMouseDown(mouseEvent);
        break;
    case QEvent::MouseMove:
        FormMouseMove(mouseEvent);
        break;
    default:
        FormMouseUp();
        break;
    }
    return true;
}

void TNewVer::FormMouseDown(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        return;
    }
    dragging = true;
    const QPoint at = event->globalPosition().toPoint();
    dx = at.x();
    dy = at.y();
}

void TNewVer::FormMouseMove(QMouseEvent* event) {
    if (!dragging) {
        return;
    }
    const QPoint at = event->globalPosition().toPoint();
    move(pos() + QPoint(at.x() - dx, at.y() - dy));
    dx = at.x();
    dy = at.y();
}

void TNewVer::FormMouseUp() {
    dragging = false;
}
