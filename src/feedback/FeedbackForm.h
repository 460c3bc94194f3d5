#pragma once

#include "feedback/Feedback.h"
#include "translation/MessageDlg.h"

#include <QDialog>
#include <QFrame>
#include <QString>
#include <functional>
#include <memory>
#include <thread>

class QLabel;
class QLineEdit;
class QMouseEvent;
class QPlainTextEdit;
class QPushButton;
class BusyCursorGuard;

struct FeedbackFormOptions {
    QString ProductName; // AppProductName: the title reads "<product> feedback"
    QString AppTitle;    // sent as "appname"
    QString AppVersion;  // sent as "version"
    // Empty URLs mean the vendor host's /php/feedback.php.
    FeedbackTarget Target;
    // Empty means real message boxes and the system's beep.
    MessageDlgFunction ShowMessage;
    std::function<void()> Beep;
};

// One of the two like/dislike toggles: a panel that shows its state in its
// colours and bevel (raised on the button face when off, sunken in the
// highlight colours when on).
class TogglePanel : public QFrame {
    Q_OBJECT
public:
    TogglePanel(const QString& picture, QWidget* parent);

    QString Caption() const;
    void SetCaption(const QString& caption);
    bool IsOn() const { return m_on; }
    void SetOn(bool on);
    QLabel* Image() const { return m_image; }

signals:
    void MouseDown(Qt::MouseButton button);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void ApplyLook();

    QLabel* m_image = nullptr;
    QLabel* m_caption = nullptr;
    bool m_on = false;
};

// The feedback form: an optional like or dislike, a message and an optional
// e-mail address, posted to the vendor web server.
class TFeedbackForm : public QDialog {
    Q_OBJECT
public:
    explicit TFeedbackForm(FeedbackFormOptions options, QWidget* parent = nullptr);
    ~TFeedbackForm() override;

    void Image1MouseDown(Qt::MouseButton button);
    void Image2MouseDown(Qt::MouseButton button);
    void BitBtn1Click();

    // True from the moment Send posts until the answer has been judged.
    bool IsSending() const { return m_sending; }

    TogglePanel* Panel4 = nullptr; // "I like it!"
    TogglePanel* Panel5 = nullptr; // "I dislike it!"
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QPushButton* BitBtn1 = nullptr;

    static constexpr int kMaxMessageLength = 10000;
    static constexpr int kMaxAddressLength = 100;

signals:
    // Send has finished with an answer and its message box was closed.
    void SendFinished(bool delivered);

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    void Toggle(TogglePanel* pressed, TogglePanel* other, Qt::MouseButton button);
    void LimitMessageLength();
    void FinishSend(const QString& body);
    void CancelSend();
    void ShowMessage(QMessageBox::Icon icon, const QString& title, const QString& text);

    FeedbackFormOptions m_options;
    std::jthread m_sender;
    std::unique_ptr<BusyCursorGuard> m_cursor;
    bool m_sending = false;
};
