#include "feedback/FeedbackForm.h"

#include "common/Trim.h"
#include "common/WindowFont.h"
#include "platform/BusyCursor.h"
#include "services/WebHelpers.h"
#include "translation/Language.h"
#include "translation/WindowTexts.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>

// The resources of a static library are registered by hand.
static void InitFeedbackResources() {
    Q_INIT_RESOURCE(feedback);
}

TogglePanel::TogglePanel(const QString& picture, QWidget* parent) : QFrame(parent) {
    setCursor(Qt::PointingHandCursor);
    setFrameShape(QFrame::Panel);
    setLineWidth(1);
    setAutoFillBackground(true);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 3, 4, 3);
    row->setSpacing(0);
    m_image = new QLabel(this);
    m_image->setFixedSize(32, 32);
    m_image->setScaledContents(true);
    m_image->setPixmap(QIcon(picture).pixmap(QSize(32, 32), devicePixelRatioF()));
    m_image->setAttribute(Qt::WA_TranslucentBackground);
    row->addWidget(m_image);
    m_caption = new QLabel(this);
    m_caption->setTextFormat(Qt::PlainText);
    m_caption->setAlignment(Qt::AlignCenter);
    m_caption->setFont(WindowFont(16));
    row->addWidget(m_caption, 1);
    // Balances the picture so the caption sits in the middle of the panel.
    row->addSpacing(32);
    ApplyLook();
}

QString TogglePanel::Caption() const {
    return m_caption->text();
}

void TogglePanel::SetCaption(const QString& caption) {
    m_caption->setText(caption);
}

void TogglePanel::SetOn(bool on) {
    m_on = on;
    ApplyLook();
}

void TogglePanel::ApplyLook() {
    const QPalette app = QApplication::palette();
    QPalette look = palette();
    look.setColor(QPalette::Window, app.color(m_on ? QPalette::Highlight : QPalette::Button));
    look.setColor(QPalette::WindowText,
                  app.color(m_on ? QPalette::HighlightedText : QPalette::WindowText));
    setPalette(look);
    setFrameShadow(m_on ? QFrame::Sunken : QFrame::Raised);
}

void TogglePanel::mousePressEvent(QMouseEvent* event) {
    emit MouseDown(event->button());
    event->accept();
}

void TogglePanel::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ApplicationPaletteChange) {
        ApplyLook();
    }
    QFrame::changeEvent(event);
}

TFeedbackForm::TFeedbackForm(FeedbackFormOptions options, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_options(std::move(options)) {
    InitFeedbackResources();
    setObjectName(QStringLiteral("FeedbackForm"));
    if (m_options.Target.HttpsUrl.isEmpty() && m_options.Target.HttpUrl.isEmpty()) {
        const PostOptions postOptions = m_options.Target.Options;
        m_options.Target = FeedbackTarget::ForHost(VendorHost());
        m_options.Target.Options = postOptions;
    }
    if (!m_options.ShowMessage) {
        m_options.ShowMessage = ShowMessageDlg;
    }
    if (!m_options.Beep) {
        m_options.Beep = [] { QApplication::beep(); };
    }
    setFont(WindowFont(11));
    setFixedSize(525, 326);
    setWindowTitle(QStringLiteral("Feedback"));

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* panel3 = new QWidget(this);
    panel3->setFixedHeight(46);
    auto* toggles = new QHBoxLayout(panel3);
    toggles->setContentsMargins(3, 3, 3, 3);
    toggles->setSpacing(6);
    Panel4 = new TogglePanel(QStringLiteral(":/feedback/smile.svg"), panel3);
    Panel4->SetCaption(WindowTexts::kILikeIt);
    Panel5 = new TogglePanel(QStringLiteral(":/feedback/sad.svg"), panel3);
    Panel5->SetCaption(WindowTexts::kIDislikeIt);
    toggles->addWidget(Panel4, 1);
    toggles->addWidget(Panel5, 1);
    column->addWidget(panel3);

    Label1 = new QLabel(this);
    Label1->setTextFormat(Qt::PlainText);
    Label1->setFont(WindowFont(16));
    Label1->setContentsMargins(6, 6, 6, 3);
    column->addWidget(Label1);
    Label2 = new QLabel(this);
    Label2->setTextFormat(Qt::PlainText);
    Label2->setFont(WindowFont(13, {.Bold = true}));
    Label2->setContentsMargins(6, 3, 6, 3);
    column->addWidget(Label2);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setFont(WindowFont(13));
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setTabChangesFocus(true);
    auto* memoRow = new QHBoxLayout;
    memoRow->setContentsMargins(6, 3, 6, 3);
    memoRow->addWidget(Memo1);
    column->addLayout(memoRow, 1);

    auto* panel1 = new QWidget(this);
    panel1->setFixedHeight(30);
    auto* addressRow = new QHBoxLayout(panel1);
    addressRow->setContentsMargins(6, 3, 6, 3);
    Label3 = new QLabel(panel1);
    Label3->setTextFormat(Qt::PlainText);
    Label3->setFont(WindowFont(13));
    Label3->setAlignment(Qt::AlignCenter);
    addressRow->addWidget(Label3);
    Edit1 = new QLineEdit(panel1);
    Edit1->setFont(WindowFont(13));
    Edit1->setMaxLength(kMaxAddressLength);
    addressRow->addWidget(Edit1, 1);
    column->addWidget(panel1);

    auto* panel2 = new QWidget(this);
    panel2->setFixedHeight(39);
    auto* buttonRow = new QHBoxLayout(panel2);
    buttonRow->setContentsMargins(3, 3, 6, 3);
    buttonRow->addStretch(1);
    BitBtn1 = new QPushButton(panel2);
    BitBtn1->setFont(WindowFont(16));
    BitBtn1->setFixedSize(172, 33);
    BitBtn1->setIcon(QIcon(QStringLiteral(":/feedback/envelope.svg")));
    BitBtn1->setIconSize(QSize(16, 16));
    // Enter in the address box must not send a half-written message.
    BitBtn1->setAutoDefault(false);
    buttonRow->addWidget(BitBtn1);
    column->addWidget(panel2);

    connect(Panel4, &TogglePanel::MouseDown, this, &TFeedbackForm::Image1MouseDown);
    connect(Panel5, &TogglePanel::MouseDown, this, &TFeedbackForm::Image2MouseDown);
    connect(BitBtn1, &QPushButton::clicked, this, &TFeedbackForm::BitBtn1Click);
    connect(Memo1, &QPlainTextEdit::textChanged, this, &TFeedbackForm::LimitMessageLength);

    FormCreate();
    Memo1->setFocus();
}

TFeedbackForm::~TFeedbackForm() {
    // A post still under way is abandoned; its answer has no one to go to.
    CancelSend();
}

void TFeedbackForm::FormCreate() {
    setWindowTitle(m_options.ProductName + u' ' + Translate(WindowTexts::kFeedback));
    Label1->setText(Translate(WindowTexts::kAppreciateFeedback));
    Label2->setText(Translate(WindowTexts::kLikeOrDislike));
    Label3->setText(Translate(WindowTexts::kIncludeMyEmail));
    BitBtn1->setText(Translate(WindowTexts::kSend));
    Panel4->SetCaption(Translate(WindowTexts::kILikeIt));
    Panel5->SetCaption(Translate(WindowTexts::kIDislikeIt));
}

void TFeedbackForm::Image1MouseDown(Qt::MouseButton button) {
    Toggle(Panel4, Panel5, button);
}

void TFeedbackForm::Image2MouseDown(Qt::MouseButton button) {
    Toggle(Panel5, Panel4, button);
}

void TFeedbackForm::Toggle(TogglePanel* pressed, TogglePanel* other, Qt::MouseButton button) {
    if (button != Qt::LeftButton) {
        return;
    }
    if (pressed->IsOn()) {
        pressed->SetOn(false);
        return;
    }
    pressed->SetOn(true);
    other->SetOn(false);
}

void TFeedbackForm::LimitMessageLength() {
    const QString text = Memo1->toPlainText();
    if (text.size() <= kMaxMessageLength) {
        return;
    }
    // Typing or pasting beyond the limit keeps only what fits.
    QTextCursor cursor = Memo1->textCursor();
    const int position = std::min(cursor.position(), kMaxMessageLength);
    QSignalBlocker block(Memo1);
    Memo1->setPlainText(text.left(kMaxMessageLength));
    cursor = Memo1->textCursor();
    cursor.setPosition(position);
    Memo1->setTextCursor(cursor);
}

void TFeedbackForm::BitBtn1Click() {
    if (m_sending) {
        return;
    }
    try {
        const QString like = MarkedPhrase(WindowTexts::kILikeIt, Panel4->Caption());
        const QString dislike = MarkedPhrase(WindowTexts::kIDislikeIt, Panel5->Caption());
        QString message = Memo1->toPlainText();
        message.replace(u'\n', QStringLiteral("\r\n"));
        message = TrimControl(message);
        const QString phrase = Panel4->IsOn() ? like : (Panel5->IsOn() ? dislike : QString());
        const QString feedback = FeedbackValue(phrase, message);
        if (message.isEmpty()) {
            Memo1->setFocus();
            m_options.Beep();
            return;
        }
        const QString address = TrimControl(Edit1->text());
        if (!address.isEmpty() && !IsValidEmail(address)) {
            Edit1->setFocus();
            ShowMessage(QMessageBox::Critical, Translate(WindowTexts::kFailure),
                        Translate(WindowTexts::kInvalidEmail));
            return;
        }
        const QStringList fields =
            FeedbackFields(m_options.AppTitle, m_options.AppVersion, feedback, address);

        m_sending = true;
        BitBtn1->setEnabled(false);
        m_cursor = std::make_unique<BusyCursorGuard>();
        // Up to four time-outs of 3 s: the request runs beside the window so
        // that it keeps painting, while the form stays modal. Destroying the
        // form (the program ending) abandons it.
        const FeedbackTarget target = m_options.Target;
        m_sender = std::jthread([this, target, fields](std::stop_token stop) {
            QString body;
            try {
                body = SubmitFeedback(target, fields, stop);
            } catch (...) {
                body.clear();
            }
            if (stop.stop_requested())
                return;
            QMetaObject::invokeMethod(
                this, [this, body] { FinishSend(body); }, Qt::QueuedConnection);
        });
    } catch (const std::exception&) {
        FinishSend(QString());
    }
}

void TFeedbackForm::CancelSend() {
    m_sender.request_stop();
    if (m_sender.joinable())
        m_sender.join();
    m_cursor.reset();
    m_sending = false;
}

void TFeedbackForm::FinishSend(const QString& body) {
    if (m_sender.joinable())
        m_sender.join();
    m_cursor.reset();
    m_sending = false;
    BitBtn1->setEnabled(true);
    const bool delivered = IsFeedbackAccepted(body);
    if (delivered) {
        ShowMessage(QMessageBox::Information, Translate(WindowTexts::kSuccess),
                    Translate(WindowTexts::kFeedbackReceived) + QStringLiteral("\r\r") +
                        Translate(WindowTexts::kThankYou));
        emit SendFinished(true);
        accept();
        return;
    }
    // Everything the user entered stays, so Send can simply be pressed again.
    ShowMessage(QMessageBox::Critical, Translate(WindowTexts::kFailure),
                Translate(WindowTexts::kFeedbackNotDelivered) + QStringLiteral("\r\r") +
                    Translate(WindowTexts::kTryAgainLater));
    emit SendFinished(false);
}

void TFeedbackForm::ShowMessage(QMessageBox::Icon icon, const QString& title, const QString& text) {
    MessageDlgCaptions(this, text, icon, {QMessageBox::Ok}, title, {Translate(WindowTexts::kOK)},
                       m_options.ShowMessage);
}

void TFeedbackForm::reject() {
    // Closing waits for the answer: it arrives within the time-outs. (Ending
    // the program does not wait: the form's destruction abandons the post.)
    if (m_sending) {
        return;
    }
    QDialog::reject();
}

void TFeedbackForm::closeEvent(QCloseEvent* event) {
    if (m_sending) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}
