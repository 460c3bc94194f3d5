#pragma once

#include "about/MatrixRain.h"
#include "platform/UrlOpener.h"
#include "translation/MessageDlg.h"

#include <QDialog>
#include <QIcon>
#include <QImage>
#include <QPointer>
#include <QRegion>
#include <QString>
#include <QUrl>
#include <functional>

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QMouseEvent;
class QPainter;
class QPushButton;
class QTimer;

struct AboutBoxOptions {
    QString ProductName; // AppProductName
    QString AppVersion;  // AppVersion, e.g. "1.0"
    QIcon AppIcon;       // empty: the owner's window icon
    // Empty: VendorHost().
    QString VendorHost;
    // Where license.txt lies; empty: the executable's folder.
    QString ExecutableFolder;
    // Empty: the desktop opens the address (web page or local file).
    UrlOpenerFunction OpenUrl;
    // Empty: real message boxes.
    MessageDlgFunction ShowMessage;
    // A monotonic clock in milliseconds; empty: the system's.
    std::function<qint64()> TickCount;
    // The screen's and the window's pixels per inch for the slide; empty:
    // measured from the primary screen and the window's screen.
    std::function<double()> ScreenPixelsPerInch;
    std::function<double()> WindowPixelsPerInch;
    // The animation's random draws; empty: the program's generator.
    MatrixRandom Random;
};

// The about box: a black tool window with the product's name and version,
// links to the vendor's pages and the license, over falling characters.
// Double-clicking the icon slides the content away to uncover a picture.
class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(AboutBoxOptions options, QWidget* parent = nullptr);
    ~TAboutBox() override;

    void StartMatrix();
    void ResetMatrix();
    void MatrixTick();
    void DrawDropChar(const TMatrixDrop& drop, QChar character);
    void HighDPIImageYukle();
    void PopupUnderButton(QPushButton* button, QMenu* menu);

    void tmTimerTimer() { MatrixTick(); }
    void TimerEggTimer();
    void Image1DblClick();
    void ImageEggDblClick();
    void BitBtn1Click();
    void BitBtn2Click();
    void Label5Click();
    void Credits1Click();
    void Howtouninstall1Click();
    void License1Click();

    // The home address, the link's caption and the pages it opens.
    QString HomeAddress() const;

    // The falling characters' state.
    const MatrixRain& rain() const { return m_rain; }

    QFrame* Panel1 = nullptr;
    QLabel* Image2 = nullptr;
    QFrame* Bevel1 = nullptr;
    QLabel* VirtualImage1 = nullptr;
    QLabel* Label2 = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* BitBtn2 = nullptr;
    QLabel* Label5 = nullptr;
    QFrame* PanelEgg = nullptr;
    QLabel* ImageEgg = nullptr;
    QTimer* tmTimer = nullptr;
    QTimer* TimerEgg = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* Credits1 = nullptr;
    QAction* Howtouninstall1 = nullptr;
    QAction* License1 = nullptr;
    QIcon ImageCollectionIcon;

    // The animation's grid and the canvas it draws on.
    QImage outCanvas;
    int matrixWidth = 0;
    int matrixHeight = 0;
    int charWidth = 8;
    int charHeight = 12;
    int bitmapWidth = 0;
    int bitmapHeight = 0;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void FormMouseDown(QMouseEvent* event);
    void FormMouseMove(QMouseEvent* event);
    void FormMouseUp();
    void FormAfterMonitorDpiChanged();
    void OpenPage(const QString& address);
    void ShowMessage(QMessageBox::Icon icon, const QString& title, const QString& text);
    qint64 Ticks() const;

    AboutBoxOptions m_options;
    MatrixRain m_rain;
    QRegion m_dirty; // cells drawn since the last repaint request
    QPainter* m_tickPainter = nullptr;
    bool dragging = false;
    int dx = 0;
    int dy = 0;
    // PopupUnderButton's memory of its last menu.
    QPointer<QPushButton> m_lastPopupButton;
    QPointer<QMenu> m_lastPopupMenu;
    qint64 m_lastPopupClosed = 0;
};
