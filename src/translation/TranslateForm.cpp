#include "translation/TranslateForm.h"

#include "common/WindowFont.h"
#include "services/WebHelpers.h"
#include "translation/FlagComboBox.h"
#include "translation/Language.h"
#include "translation/LanguageChoice.h"
#include "translation/LanguageFile.h"
#include "translation/RestartScript.h"
#include "translation/WindowTexts.h"

#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <algorithm>
#include <stdexcept>

// The resources of a static library are registered by hand.
static void InitTranslationResources() {
    Q_INIT_RESOURCE(translation);
}

namespace {

constexpr int kClientWidth = 622;
constexpr int kClientHeight = 227;

} // namespace

void RunRestartScriptAndQuit(const QString& scriptPath, const QString& workingFolder) {
    // A script that cannot start is not noticed: the program ends all the same.
    StartRestartScript(scriptPath, workingFolder);
    QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

TTranslateForm::TTranslateForm(TranslateFormOptions options, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_options(std::move(options)) {
    InitTranslationResources();
    setObjectName(QStringLiteral("TranslateForm"));
    if (m_options.ExecutablePath.isEmpty()) {
        m_options.ExecutablePath = QCoreApplication::applicationFilePath();
    }
    if (!m_options.Restart) {
        m_options.Restart = RunRestartScriptAndQuit;
    }
    if (!m_options.ShowMessage) {
        m_options.ShowMessage = ShowMessageDlg;
    }
    if (!m_options.OpenUrl) {
        m_options.OpenUrl = ::OpenUrl;
    }
    if (m_options.VendorHost.isEmpty()) {
        m_options.VendorHost = VendorHost();
    }
    setFont(WindowFont(11));
    setFixedSize(kClientWidth, kClientHeight);
    setWindowTitle(WindowTexts::kLanguage);

    Label1 = new QLabel(WindowTexts::kUserInterfaceLanguage, this);
    Label1->setFont(WindowFont(16));
    Label1->setGeometry(3, 6, 257, 20);
    ComboBox1 = new FlagComboBox(this);
    ComboBox1->setFont(WindowFont(13));
    ComboBox1->setGeometry(263, 4, 355, 24);
    ComboBox1->addItem(QStringLiteral("English"));
    ComboBox1->setCurrentIndex(0);

    Label2 = new QLabel(WindowTexts::kTranslatedBy, this);
    Label2->setFont(WindowFont(16));
    Label2->setGeometry(3, 39, 257, 20);
    RichEdit1 = new QPlainTextEdit(this);
    RichEdit1->setFont(WindowFont(16));
    RichEdit1->setGeometry(263, 32, 355, 151);
    RichEdit1->setReadOnly(true);
    RichEdit1->setLineWrapMode(QPlainTextEdit::NoWrap);
    RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    QPalette face = RichEdit1->palette();
    face.setColor(QPalette::Base, QApplication::palette().color(QPalette::Button));
    RichEdit1->setPalette(face);
    RichEdit1->setPlainText(QStringLiteral("Quiblex"));
    RichEdit1->setContextMenuPolicy(Qt::CustomContextMenu);

    auto* separator = new QFrame(this);
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Sunken);
    separator->setGeometry(0, kClientHeight - 39 - 1, kClientWidth, 1);

    auto* panel1 = new QWidget(this);
    panel1->setGeometry(0, kClientHeight - 39, kClientWidth, 39);
    auto* row = new QHBoxLayout(panel1);
    row->setContentsMargins(6, 3, 4, 3);
    Label3 = new QLabel(WindowTexts::kContributeToTranslation, panel1);
    Label3->setFont(WindowFont(16, {.Underline = true}));
    Label3->setMinimumWidth(177);
    Label3->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Label3->setCursor(Qt::PointingHandCursor);
    QPalette link = Label3->palette();
    link.setColor(QPalette::WindowText, QColor(0, 0, 255));
    Label3->setPalette(link);
    row->addWidget(Label3);
    row->addStretch(1);
    Button1 = new QPushButton(WindowTexts::kOK, panel1);
    Button1->setFont(WindowFont(16));
    Button1->setFixedSize(172, 33);
    Button1->setIcon(QIcon(QStringLiteral(":/translation/tick.svg")));
    Button1->setIconSize(QSize(16, 16));
    Button1->setDefault(true);
    row->addWidget(Button1);

    PopupMenu1 = new QMenu(this);
    Copy1 =
        PopupMenu1->addAction(QIcon(QStringLiteral(":/translation/copy.svg")), WindowTexts::kCopy);
    SelectAll1 = PopupMenu1->addAction(WindowTexts::kSelectAll);

    connect(ComboBox1, &QComboBox::currentIndexChanged, this, &TTranslateForm::ComboBox1Change);
    connect(Button1, &QPushButton::clicked, this, &TTranslateForm::Button1Click);
    connect(Copy1, &QAction::triggered, this, &TTranslateForm::Copy1Click);
    connect(SelectAll1, &QAction::triggered, this, &TTranslateForm::SelectAll1Click);
    connect(RichEdit1, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        Copy1->setEnabled(RichEdit1->textCursor().hasSelection());
        PopupMenu1->exec(RichEdit1->viewport()->mapToGlobal(at));
    });
    Label3->installEventFilter(this);

    FormCreate();
    ComboBox1->setFocus();
}

void TTranslateForm::FormCreate() {
    setWindowTitle(Translate(WindowTexts::kLanguage));
    Label1->setText(Translate(WindowTexts::kUserInterfaceLanguage));
    Label2->setText(Translate(WindowTexts::kTranslatedBy));
    Button1->setText(Translate(WindowTexts::kOK));
    Label3->setText(Translate(WindowTexts::kContributeToTranslation));
    Label3->setToolTip(TranslationPage());
    Copy1->setText(Translate(WindowTexts::kCopy));
    SelectAll1->setText(Translate(WindowTexts::kSelectAll));

    {
        // The credit is filled once, below, for the final selection.
        const QSignalBlocker quiet(ComboBox1);
        for (const QString& file : m_options.Language.LanguageFiles) {
            ComboBox1->AddSorted(LanguageNameOfFile(file));
        }
        for (int i = 0; i < ComboBox1->count(); ++i) {
            if (ComboBox1->itemText(i) == m_options.Language.CurrentLanguage) {
                ComboBox1->setCurrentIndex(i);
                break;
            }
        }
    }
    ComboBox1Change();
    InitialLanguage = ComboBox1->currentText();
    PlaceControls();
}

void TTranslateForm::PlaceControls() {
    // The labels' column is as designed unless a translation needs more room;
    // the list and the credit box then give way to the right.
    constexpr int kDesignedLeft = 263;
    constexpr int kRightEdge = kClientWidth - 4;
    const int labels = std::max(Label1->sizeHint().width(), Label2->sizeHint().width());
    const int left = std::clamp(3 + labels + 6, kDesignedLeft, kClientWidth / 2);
    Label1->setGeometry(3, 6, left - 6, 20);
    Label2->setGeometry(3, 39, left - 6, 20);
    ComboBox1->setGeometry(left, 4, kRightEdge - left, 24);
    RichEdit1->setGeometry(left, 32, kRightEdge - left, 151);
}

QString TTranslateForm::TranslationPage() const {
    return QStringLiteral("https://") + m_options.VendorHost + QStringLiteral("/translation/");
}

void TTranslateForm::ComboBox1Change() {
    const QString name = ComboBox1->currentText();
    RichEdit1->clear();
    RichEdit1->setPlainText(
        CreditLines(LanguageCredit(m_options.Language.LanguagesFolder, name)).join(u'\n'));
}

void TTranslateForm::Button1Click() {
    const QString chosen = ComboBox1->currentText();
    if (chosen == InitialLanguage) {
        close();
        return;
    }
    const QMessageBox::StandardButton answer = MessageDlgCaptions(
        this, Translate(WindowTexts::kRestartApplication), QMessageBox::Question,
        {QMessageBox::Yes, QMessageBox::No}, Translate(WindowTexts::kConfirmation),
        {Translate(WindowTexts::kYes), Translate(WindowTexts::kNo)}, m_options.ShowMessage);
    if (answer != QMessageBox::Yes) {
        return;
    }
    if (m_options.SetLanguageFile) {
        m_options.SetLanguageFile(chosen + QStringLiteral(".lang.txt"));
    }
    const QString script = RestartScriptPath(m_options.DataFolder);
    try {
        WriteRestartScript(script, m_options.ExecutablePath);
    } catch (const std::exception& error) {
        // Without its script the program could not come back: it keeps running.
        MessageRequest request;
        request.Icon = QMessageBox::Critical;
        request.Title = Translate(WindowTexts::kLanguage);
        request.Text = QString::fromStdString(error.what());
        m_options.ShowMessage(this, request);
        return;
    }
    m_options.Restart(script, m_options.DataFolder);
}

void TTranslateForm::Label3Click() {
    try {
        m_options.OpenUrl(QUrl(TranslationPage()));
    } catch (...) {
        // The browser's fate is not reported.
    }
}

void TTranslateForm::Copy1Click() {
    RichEdit1->copy();
}

void TTranslateForm::SelectAll1Click() {
    RichEdit1->selectAll();
}

bool TTranslateForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Label3 && event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton &&
            Label3->rect().contains(mouse->position().toPoint())) {
            Label3Click();
        }
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
