#include "about/AboutBox.h"

#include "about/MatrixRain.h"
#include "common/WindowFont.h"
#include "services/WebHelpers.h"
#include "translation/Language.h"
#include "translation/WindowTexts.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <optional>

// The resources of a static library are registered by hand.
static void InitAboutResources() {
    Q_INIT_RESOURCE(about);
}

namespace {

constexpr int kClientWidth = 446;
constexpr int kClientHeight = 374;
constexpr int kMatrixIntervalMs = 50;
constexpr int kSlideStep = 5;
// A click on the Info button that closed its menu arrives this soon after.
constexpr qint64 kReopenGuardMs = 100;

// "About %s" and its translations carry one placeholder for the product.
QString FormatProduct(const QString& format, const QString& product) {
    QString text = format;
    const qsizetype at = text.indexOf(QStringLiteral("%s"));
    if (at >= 0) {
        text.replace(at, 2, product);
    }
    return text;
}

QPixmap RenderPicture(const QString& resource, QSize size, qreal ratio) {
    return QIcon(resource).pixmap(size, ratio);
}

const QString kButtonStyle =
    QStringLiteral("QPushButton { color: white; background-color: #1b1b1b; border: 1px solid #555;"
                   " border-radius: 3px; padding: 0 10px; }"
                   "QPushButton:hover { background-color: #262626; border-color: #7fd650; }"
                   "QPushButton:pressed { background-color: #0e0e0e; }"
                   "QPushButton:focus { border-color: #9ad27a; }");

} // namespace

TAboutBox::TAboutBox(AboutBoxOptions options, QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      m_options(std::move(options)), m_rain(m_options.Random) {
    InitAboutResources();
    setObjectName(QStringLiteral("AboutBox"));
    if (m_options.VendorHost.isEmpty()) {
        m_options.VendorHost = VendorHost();
    }
    if (m_options.ExecutableFolder.isEmpty()) {
        m_options.ExecutableFolder = QCoreApplication::applicationDirPath();
    }
    if (!m_options.OpenUrl) {
        m_options.OpenUrl = ::OpenUrl;
    }
    if (!m_options.ShowMessage) {
        m_options.ShowMessage = ShowMessageDlg;
    }
    if (!m_options.ScreenPixelsPerInch) {
        m_options.ScreenPixelsPerInch = [] {
            const QScreen* screen = QGuiApplication::primaryScreen();
            return screen ? screen->logicalDotsPerInch() * screen->devicePixelRatio() : 96.0;
        };
    }
    if (!m_options.WindowPixelsPerInch) {
        m_options.WindowPixelsPerInch = [this] {
            const QScreen* at = screen();
            return at ? at->logicalDotsPerInch() * devicePixelRatioF() : 96.0;
        };
    }

    setFixedSize(kClientWidth, kClientHeight);
    setFont(WindowFont(11));
    setAutoFillBackground(false);
    setAttribute(Qt::WA_OpaquePaintEvent);
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    black.setColor(QPalette::WindowText, Qt::white);
    setPalette(black);

    // Created first: it lies behind the content panel.
    PanelEgg = new QFrame(this);
    PanelEgg->setGeometry(60, 54, 324, 220);
    PanelEgg->setAutoFillBackground(true);
    PanelEgg->hide();
    ImageEgg = new QLabel(PanelEgg);
    ImageEgg->setGeometry(2, 3, 320, 214);
    ImageEgg->setScaledContents(true);
    ImageEgg->setCursor(Qt::PointingHandCursor);

    Panel1 = new QFrame(this);
    Panel1->setGeometry(48, 42, 350, 291);
    Panel1->setAutoFillBackground(true);

    Image2 = new QLabel(Panel1);
    Image2->setGeometry(3, 3, 344, 105);
    Image2->setScaledContents(true);

    Bevel1 = new QFrame(Panel1);
    Bevel1->setGeometry(9, 122, 34, 34);
    Bevel1->setFrameStyle(QFrame::Box | QFrame::Plain);
    Bevel1->setStyleSheet(QStringLiteral("QFrame { border: 1px solid #4a4a4a; }"));
    VirtualImage1 = new QLabel(Panel1);
    VirtualImage1->setGeometry(10, 123, 32, 32);
    VirtualImage1->setToolTip(QString());

    Label2 = new QLabel(Panel1);
    Label2->setGeometry(49, 122, 290, 40);
    Label2->setFont(WindowFont(16));
    Label2->setWordWrap(true);
    Label2->setTextFormat(Qt::PlainText);

    BitBtn1 = new QPushButton(Panel1);
    BitBtn1->setGeometry(49, 226, 122, 33);
    BitBtn1->setFont(WindowFont(16));
    BitBtn1->setStyleSheet(kButtonStyle);
    BitBtn1->setDefault(true);
    BitBtn2 = new QPushButton(Panel1);
    BitBtn2->setGeometry(177, 226, 122, 33);
    BitBtn2->setFont(WindowFont(16));
    BitBtn2->setStyleSheet(kButtonStyle);
    BitBtn2->setAutoDefault(false);
    // The arrow sits at the button's right end.
    BitBtn2->setLayoutDirection(Qt::RightToLeft);
    BitBtn2->setIcon(QIcon(QStringLiteral(":/about/arrow.svg")));
    BitBtn2->setIconSize(QSize(10, 10));

    Label5 = new QLabel(Panel1);
    Label5->setFont(WindowFont(13, {.Underline = true}));
    Label5->setTextFormat(Qt::PlainText);
    Label5->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    Label5->setCursor(Qt::PointingHandCursor);
    Label5->setGeometry(3, 291 - 3 - 20, 344, 20);
    QPalette lime = Label5->palette();
    lime.setColor(QPalette::WindowText, QColor(0, 255, 0));
    Label5->setPalette(lime);

    PopupMenu1 = new QMenu(this);
    Credits1 = PopupMenu1->addAction(WindowTexts::kAcknowledgements);
    Howtouninstall1 = PopupMenu1->addAction(WindowTexts::kHowToUninstall);
    License1 = PopupMenu1->addAction(WindowTexts::kLicenseMenu);

    tmTimer = new QTimer(this);
    tmTimer->setInterval(kMatrixIntervalMs);
    TimerEgg = new QTimer(this);

    connect(tmTimer, &QTimer::timeout, this, &TAboutBox::tmTimerTimer);
    connect(TimerEgg, &QTimer::timeout, this, &TAboutBox::TimerEggTimer);
    connect(BitBtn1, &QPushButton::clicked, this, &TAboutBox::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TAboutBox::BitBtn2Click);
    connect(Credits1, &QAction::triggered, this, &TAboutBox::Credits1Click);
    connect(Howtouninstall1, &QAction::triggered, this, &TAboutBox::Howtouninstall1Click);
    connect(License1, &QAction::triggered, this, &TAboutBox::License1Click);

    for (QObject* source :
         {static_cast<QObject*>(this), static_cast<QObject*>(Panel1), static_cast<QObject*>(Image2),
          static_cast<QObject*>(VirtualImage1), static_cast<QObject*>(Label2),
          static_cast<QObject*>(ImageEgg), static_cast<QObject*>(Label5)}) {
        source->installEventFilter(this);
    }

    FormCreate();
}

TAboutBox::~TAboutBox() {
    tmTimer->stop();
    TimerEgg->stop();
}

void TAboutBox::FormCreate() {
    m_rain.MatrixAlphabet = QStringLiteral("qbx");
    StartMatrix();
    setWindowTitle(FormatProduct(Translate(WindowTexts::kAboutFormat), m_options.ProductName));
    Label2->setText(m_options.ProductName + u' ' + m_options.AppVersion);
    BitBtn1->setText(Translate(WindowTexts::kOK));
    BitBtn2->setText(Translate(WindowTexts::kInfo));
    Credits1->setText(Translate(WindowTexts::kAcknowledgements));
    Howtouninstall1->setText(Translate(WindowTexts::kHowToUninstall));
    License1->setText(Translate(WindowTexts::kLicenseMenu));
    Label5->setText(m_options.VendorHost);
    Label5->setToolTip(HomeAddress());

    ImageCollectionIcon = m_options.AppIcon;
    if (ImageCollectionIcon.isNull()) {
        ImageCollectionIcon =
            parentWidget() ? parentWidget()->window()->windowIcon() : QApplication::windowIcon();
    }
    HighDPIImageYukle();
    PanelEgg->move((width() - PanelEgg->width()) / 2, (height() - PanelEgg->height()) / 2);
}

QString TAboutBox::HomeAddress() const {
    return QStringLiteral("http://") + m_options.VendorHost;
}

void TAboutBox::HighDPIImageYukle() {
    const qreal ratio = devicePixelRatioF();
    Image2->clear();
    Image2->setPixmap(RenderPicture(QStringLiteral(":/about/logo.svg"), Image2->size(), ratio));
    ImageEgg->clear();
    ImageEgg->setPixmap(RenderPicture(QStringLiteral(":/about/cat.svg"), ImageEgg->size(), ratio));
    VirtualImage1->setPixmap(ImageCollectionIcon.pixmap(VirtualImage1->size(), ratio));
}

void TAboutBox::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (QWindow* handle = windowHandle()) {
        // Moving to a screen of another DPI renders the pictures and the
        // grid anew; connected once, when the window first exists.
        connect(handle, &QWindow::screenChanged, this, &TAboutBox::FormAfterMonitorDpiChanged,
                Qt::UniqueConnection);
    }
}

void TAboutBox::FormAfterMonitorDpiChanged() {
    HighDPIImageYukle();
    StartMatrix();
}

// --- the falling characters ---

void TAboutBox::StartMatrix() {
    m_rain.MatrixTickCount = 0;
    const QSize outer = frameGeometry().size();
    bitmapWidth = outer.width();
    bitmapHeight = outer.height();
    ResetMatrix();
    tmTimer->setInterval(kMatrixIntervalMs);
    tmTimer->start();
}

void TAboutBox::ResetMatrix() {
    const qreal ratio = devicePixelRatioF();
    outCanvas = QImage(size() * ratio, QImage::Format_RGB32);
    outCanvas.setDevicePixelRatio(ratio);
    outCanvas.fill(Qt::black);
    charWidth = 8;
    charHeight = 12;
    matrixWidth = bitmapWidth / charWidth;
    matrixHeight = bitmapHeight / charHeight;
    m_rain.InitDrops(matrixWidth, matrixHeight);
    m_dirty = QRegion();
    update();
}

void TAboutBox::MatrixTick() {
    QPainter painter(&outCanvas);
    QFont font(QStringLiteral("monospace"));
    font.setStyleHint(QFont::TypeWriter);
    font.setPixelSize(12);
    painter.setFont(font);
    m_tickPainter = &painter;
    for (int i = 0; i < m_rain.DropCount; ++i) {
        TMatrixDrop& drop = m_rain.MatrixDrops[static_cast<size_t>(i)];
        DrawDropChar(drop, m_rain.randomChar());
        m_rain.advanceDrop(drop, m_rain.MatrixTickCount, matrixHeight);
    }
    m_tickPainter = nullptr;
    ++m_rain.MatrixTickCount;
    if (!m_dirty.isEmpty()) {
        update(m_dirty);
        m_dirty = QRegion();
    }
}

void TAboutBox::DrawDropChar(const TMatrixDrop& drop, QChar character) {
    std::optional<QPainter> own;
    QPainter* painter = m_tickPainter;
    if (!painter) {
        own.emplace(&outCanvas);
        QFont font(QStringLiteral("monospace"));
        font.setPixelSize(12);
        own->setFont(font);
        painter = &*own;
    }
    const int left = drop.X * charWidth;
    const int tail = TailRow(drop.Y, matrixHeight);
    const QRect tailCell(left, tail * charHeight, charWidth, charHeight);
    painter->fillRect(tailCell, Qt::black);
    m_dirty += tailCell;

    const DropColours colours = DropColoursFor(drop.Brightness);
    // Each character replaces its whole cell: black behind the glyph.
    auto drawAt = [&](int row, const QColor& colour) {
        const QRect cell(left, row * charHeight, charWidth, charHeight);
        painter->fillRect(cell, Qt::black);
        painter->setPen(colour);
        painter->drawText(cell, Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip,
                          QString(character));
        m_dirty += cell;
    };
    if (drop.Y > 0) {
        drawAt(drop.Y - 1, colours.Trail);
    }
    drawAt(drop.Y, colours.Head);
}

void TAboutBox::paintEvent(QPaintEvent* event) {
    // The painter is clipped to the region that needs it.
    Q_UNUSED(event);
    QPainter painter(this);
    painter.drawImage(0, 0, outCanvas);
}

void TAboutBox::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    ResetMatrix();
}

// --- the hidden picture ---

void TAboutBox::Image1DblClick() {
    if (TimerEgg->isActive()) {
        return;
    }
    PanelEgg->show();
    TimerEgg->setInterval(
        SlideIntervalMs(m_options.ScreenPixelsPerInch(), m_options.WindowPixelsPerInch()));
    TimerEgg->start();
}

void TAboutBox::TimerEggTimer() {
    Panel1->move(Panel1->x() + kSlideStep, Panel1->y());
    if (width() < Panel1->x()) {
        TimerEgg->stop();
    }
}

void TAboutBox::ImageEggDblClick() {
    if (TimerEgg->isActive()) {
        return;
    }
    PanelEgg->hide();
    Panel1->move((width() - Panel1->width()) / 2, Panel1->y());
}

// --- dragging ---

bool TAboutBox::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonDblClick:
        if (watched == VirtualImage1) {
            Image1DblClick();
        } else if (watched == ImageEgg) {
            ImageEggDblClick();
        }
        if (watched != Label5) {
            FormMouseDown(static_cast<QMouseEvent*>(event));
        }
        return true;
    case QEvent::MouseButtonPress:
        if (watched != Label5) {
            FormMouseDown(static_cast<QMouseEvent*>(event));
        }
        return true;
    case QEvent::MouseMove:
        FormMouseMove(static_cast<QMouseEvent*>(event));
        return true;
    case QEvent::MouseButtonRelease: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        // The link opens on a click; it never starts a drag.
        if (watched == Label5 && mouse->button() == Qt::LeftButton &&
            Label5->rect().contains(mouse->position().toPoint())) {
            Label5Click();
        }
        FormMouseUp();
        return true;
    }
    default:
        return QDialog::eventFilter(watched, event);
    }
}

void TAboutBox::FormMouseDown(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        return;
    }
    const QPoint at = event->globalPosition().toPoint();
    dragging = true;
    dx = at.x();
    dy = at.y();
}

void TAboutBox::FormMouseMove(QMouseEvent* event) {
    if (!dragging) {
        return;
    }
    const QPoint at = event->globalPosition().toPoint();
    const QPoint to(x() + at.x() - dx, y() + at.y() - dy);
    dx = at.x();
    dy = at.y();
    move(to);
}

void TAboutBox::FormMouseUp() {
    dragging = false;
}

// --- buttons, menu and links ---

void TAboutBox::BitBtn1Click() {
    close();
}

void TAboutBox::BitBtn2Click() {
    PopupUnderButton(BitBtn2, PopupMenu1);
}

qint64 TAboutBox::Ticks() const {
    if (m_options.TickCount) {
        return m_options.TickCount();
    }
    static QElapsedTimer clock;
    if (!clock.isValid()) {
        clock.start();
    }
    return clock.elapsed();
}

void TAboutBox::PopupUnderButton(QPushButton* button, QMenu* menu) {
    // The click that closed the menu by landing on its button reaches the
    // button right after; it must not open the menu again.
    if (button == m_lastPopupButton && menu == m_lastPopupMenu &&
        Ticks() - m_lastPopupClosed < kReopenGuardMs) {
        m_lastPopupButton = nullptr;
        m_lastPopupMenu = nullptr;
        return;
    }
    QPointer<TAboutBox> alive(this);
    menu->exec(button->mapToGlobal(QPoint(0, button->height())));
    if (!alive) {
        return;
    }
    m_lastPopupClosed = Ticks();
    m_lastPopupButton = button;
    m_lastPopupMenu = menu;
}

void TAboutBox::OpenPage(const QString& address) {
    try {
        m_options.OpenUrl(QUrl(address));
    } catch (...) {
        // The desktop's answer is not ours to report.
    }
}

void TAboutBox::Label5Click() {
    OpenPage(HomeAddress());
}

void TAboutBox::Credits1Click() {
    OpenPage(QStringLiteral("https://") + m_options.VendorHost +
             QStringLiteral("/blog/credits-and-acknowledgements/"));
}

void TAboutBox::Howtouninstall1Click() {
    OpenPage(QStringLiteral("http://") + m_options.VendorHost +
             QStringLiteral("/blog/how-to-uninstall-quiblex-software/"));
}

void TAboutBox::License1Click() {
    const QString path = QDir(m_options.ExecutableFolder).filePath(QStringLiteral("license.txt"));
    if (QFileInfo(path).isFile()) {
        try {
            m_options.OpenUrl(QUrl::fromLocalFile(path));
        } catch (...) {
            // As with the pages: nothing to report.
        }
        return;
    }
    ShowMessage(QMessageBox::Critical, Translate(WindowTexts::kLicense),
                Translate(WindowTexts::kFileNotFound));
}

void TAboutBox::ShowMessage(QMessageBox::Icon icon, const QString& title, const QString& text) {
    MessageDlgCaptions(this, text, icon, {QMessageBox::Ok}, title, {Translate(WindowTexts::kOK)},
                       m_options.ShowMessage);
}
