#include "app/AppForm.h"

#include "analysis/AnalysisVersion.h"
#include "analysis/BASS.h"
#include "analysis/Spectrogram.h"
#include "app/AddFilesFilter.h"
#include "app/ImageList.h"
#include "app/OnlineHelp.h"
#include "app/ResultList.h"
#include "app/SettingsIni.h"
#include "app/SpectrumPanel.h"
#include "platform/BusyCursor.h"
#include "results/CachedAnalysis.h"
#include "results/ResultCache.h"
#include "services/NewVersionNotice.h"
#include "services/UpdateCheckController.h"
#include "services/WebHelpers.h"
#include "translation/LanguageSetting.h"
#include "translation/TranslateForm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <exception>

AppFormEnvironment AppFormEnvironment::Standard(AppContext context) {
    AppFormEnvironment environment;
    environment.Context = std::move(context);
    environment.Cache =
        std::make_shared<ResultCache>(ResultCache::DefaultPath(), AnalysisVersionText());
    environment.Analyze = [cache = environment.Cache](const QString& path, std::stop_token stop) {
        QualityAndSource both = AnalyzeThroughCache(
            cache.get(), path,
            [&stop](const QString& file) { return AnalyzeQualityAndSource(file, stop); }, stop);
        FileReport report;
        report.Path = path;
        report.Quality = std::move(both.Quality);
        report.Source = std::move(both.Source);
        return report;
    };
    environment.AnalysisThreads = OrderedAnalysis::DefaultThreads();
    environment.RenderSpectrogram = [](const QString& path, std::stop_token stop) {
        return RenderSpectrogramFile(path, std::move(stop));
    };
    environment.OpenUrl = ::OpenUrl;
    environment.ShowError = [title = environment.Context.AppTitle](QWidget* parent,
                                                                   const QString& text) {
        QMessageBox::critical(parent, title, text);
    };
    environment.Dialogs = FileDialogs::Standard();
    environment.CheckForUpdates = true;
    environment.Restart = RunRestartScriptAndQuit;
    return environment;
}

TAppForm::TAppForm(AppFormEnvironment environment, QWidget* parent)
    : QMainWindow(parent), m_environment(std::move(environment)),
      m_noticeCountdown(std::make_shared<NoticeCountdown>()) {
    setObjectName(QStringLiteral("AppForm"));
    setWindowIcon(ImageListIcon(QStringLiteral("korvane")));
    createMenus();
    createToolBar();
    createCentralArea();
    createStatusBar();
    createTimers();
    FormCreate();

    // 734 x 541 is the client area; the menu bar comes on top of it.
    resize(734, 541 + menuBar()->sizeHint().height());
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(0, 0), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

TAppForm::~TAppForm() {
    // Before any widget goes: nothing may still be working for the window.
    // An update check under way is abandoned wherever it is.
    stopWorkers();
    stopRenders();
    m_updateCheck.reset();
    m_cursor.reset();
    FormDestroy();
}

// The program's identity, data folder, settings.ini and language were found
// by main() before the window (StartAppContext); the window shows and uses them.
void TAppForm::FormCreate() {
    const AppContext& context = m_environment.Context;
    setWindowTitle(context.AppTitle);

    setAcceptDrops(true);

    SettingsIni = context.SettingsIni;
    ShowScaleAndCutoff1->setChecked(StoredScaleAndCutoff(*SettingsIni));
    Language1->setVisible(!context.Language.LanguageFiles.isEmpty());

    OpenDialogFilter = AddFilesFilterText();
    FoundFiles.clear();
    SpectrogramBMP = QImage();
    // main()'s DecoderSetup has opened the decoding layer already, so this
    // finds it open and its result is not looked at; it opens the layer again
    // only for a window made after an earlier one's FormDestroy released it.
    BASS_Init(0, 44100, 0, nullptr, nullptr);
}

void TAppForm::FormDestroy() {
    TimerChecker->stop();
    TimerDrawItem->stop();
    SpectrogramBMP = QImage();
    FoundFiles.clear();
    BASS_Free();
}

void TAppForm::createMenus() {
    auto item = [this](QMenu* menu, const QString& name, const QString& caption,
                       const QString& icon) {
        auto* action = new QAction(caption, this);
        action->setObjectName(name);
        if (!icon.isEmpty())
            action->setIcon(ImageListIcon(icon));
        menu->addAction(action);
        return action;
    };

    FileMenu = menuBar()->addMenu(QStringLiteral("File"));
    Clear1 = item(FileMenu, QStringLiteral("Clear1"), QStringLiteral("Clear"), {});
    FileMenu->addSeparator();
    AddFiles1 = item(FileMenu, QStringLiteral("AddFiles1"), QStringLiteral("Add Files..."),
                     QStringLiteral("add32"));
    AddFolder1 = item(FileMenu, QStringLiteral("AddFolder1"), QStringLiteral("Add Folder..."),
                      QStringLiteral("folder_add"));
    FileMenu->addSeparator();
    ExportResults1 =
        item(FileMenu, QStringLiteral("ExportResults1"), QStringLiteral("Export Results..."), {});
    ForgetStoredResults1 = item(FileMenu, QStringLiteral("ForgetStoredResults1"),
                                QStringLiteral("Forget Stored Results"), {});
    FileMenu->addSeparator();
    Exit1 = item(FileMenu, QStringLiteral("Exit1"), QStringLiteral("Exit"), QStringLiteral("exit"));

    HelpMenu = menuBar()->addMenu(QStringLiteral("Help"));
    Help2 = item(HelpMenu, QStringLiteral("Help2"), QStringLiteral("Online Help"),
                 QStringLiteral("help"));
    Help2->setShortcut(QKeySequence(Qt::Key_F1));
    Help2->setShortcutContext(Qt::WindowShortcut);
    HelpMenu->addSeparator();
    UpdateNotifications1 = item(HelpMenu, QStringLiteral("UpdateNotifications1"),
                                QStringLiteral("Update Notifications"), {});
    UpdateNotifications1->setCheckable(true);
    UpdateNotifications1->setChecked(true);
    UpdateNotifications1->setEnabled(false);
    UpdateNotificationsBar = HelpMenu->addSeparator();
    UpdateNotificationsBar->setObjectName(QStringLiteral("UpdateNotificationsBar"));
    Language1 = item(HelpMenu, QStringLiteral("Language1"), QStringLiteral("Language..."),
                     QStringLiteral("flag"));
    Language1->setVisible(false);
    SendFeedback1 = item(HelpMenu, QStringLiteral("SendFeedback1"),
                         QStringLiteral("Send &Feedback..."), QStringLiteral("feedback"));
    About1 = item(HelpMenu, QStringLiteral("About1"), QStringLiteral("&About..."),
                  QStringLiteral("about"));

    connect(Clear1, &QAction::triggered, this, [this] { Clear1Click(); });
    connect(AddFiles1, &QAction::triggered, this, [this] { AddFiles1Click(); });
    connect(AddFolder1, &QAction::triggered, this, [this] { AddFolder1Click(); });
    connect(ExportResults1, &QAction::triggered, this, [this] { ExportResults1Click(); });
    connect(ForgetStoredResults1, &QAction::triggered, this,
            [this] { ForgetStoredResults1Click(); });
    connect(Exit1, &QAction::triggered, this, [this] { Exit1Click(); });
    connect(Help2, &QAction::triggered, this, [this] { Help2Click(); });
    connect(UpdateNotifications1, &QAction::triggered, this,
            [this] { UpdateNotifications1Click(); });
    connect(Language1, &QAction::triggered, this, [this] { Language1Click(); });
    connect(SendFeedback1, &QAction::triggered, this, [this] { SendFeedback1Click(); });
    connect(About1, &QAction::triggered, this, [this] { About1Click(); });
}

void TAppForm::createToolBar() {
    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setIconSize(QSize(64, 64));
    ToolBar1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    ToolBar1->toggleViewAction()->setVisible(false);
    addToolBar(Qt::TopToolBarArea, ToolBar1);
    setContextMenuPolicy(Qt::NoContextMenu);

    auto button = [this](const QString& name, const QString& caption, const QString& tip,
                         const QString& picture) {
        auto* action = new QAction(ImageListIcon(picture), caption, this);
        action->setObjectName(name);
        action->setToolTip(tip);
        ToolBar1->addAction(action);
        if (QWidget* widget = ToolBar1->widgetForAction(action))
            widget->setMinimumSize(71, 84);
        return action;
    };
    ToolButton3 = button(QStringLiteral("ToolButton3"), QStringLiteral("Add Files"),
                         QStringLiteral("Select audio files"), QStringLiteral("add-video"));
    ToolButton1 = button(QStringLiteral("ToolButton1"), QStringLiteral("Add Folder"),
                         QStringLiteral("Select audio folders"), QStringLiteral("add-folder"));
    ToolButton5 = ToolBar1->addSeparator();
    ToolButton5->setObjectName(QStringLiteral("ToolButton5"));
    ToolButton7 = button(QStringLiteral("ToolButton7"), QStringLiteral("Feedback"),
                         QStringLiteral("Send feedback"), QStringLiteral("envelope-letter-icon"));
    ToolButton2 = button(QStringLiteral("ToolButton2"), QStringLiteral("About"),
                         QStringLiteral("Show aboutbox"), QStringLiteral("sign-info-icon"));
    ToolButton4 = button(QStringLiteral("ToolButton4"), QStringLiteral("Help"),
                         QStringLiteral("Online help"), QStringLiteral("sign-question-icon"));

    connect(ToolButton3, &QAction::triggered, this, [this] { ToolButton3Click(); });
    connect(ToolButton1, &QAction::triggered, this, [this] { ToolButton1Click(); });
    connect(ToolButton7, &QAction::triggered, this, [this] { ToolButton7Click(); });
    connect(ToolButton2, &QAction::triggered, this, [this] { ToolButton2Click(); });
    connect(ToolButton4, &QAction::triggered, this, [this] { ToolButton4Click(); });
}

void TAppForm::createCentralArea() {
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(4, 4, 4, 2);

    ListView1 = new ResultList(central);
    PopupMenu2 = new QMenu(ListView1);
    PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    Open1 = PopupMenu2->addAction(QStringLiteral("Open"));
    Open1->setObjectName(QStringLiteral("Open1"));
    QFont bold = Open1->font();
    bold.setBold(true);
    Open1->setFont(bold);
    PopupMenu2->setDefaultAction(Open1);
    ShowinExplorer1 = PopupMenu2->addAction(QStringLiteral("Show in Explorer"));
    ShowinExplorer1->setObjectName(QStringLiteral("ShowinExplorer1"));
    PopupMenu2->addSeparator();
    Delete1 = PopupMenu2->addAction(QStringLiteral("Delete"));
    Delete1->setObjectName(QStringLiteral("Delete1"));
    SelectAll1 = PopupMenu2->addAction(QStringLiteral("Select All"));
    SelectAll1->setObjectName(QStringLiteral("SelectAll1"));

    connect(Open1, &QAction::triggered, this, [this] { Open1Click(); });
    connect(ShowinExplorer1, &QAction::triggered, this, [this] { ShowinExplorer1Click(); });
    connect(Delete1, &QAction::triggered, this, [this] { Delete1Click(); });
    connect(SelectAll1, &QAction::triggered, this, [this] { SelectAll1Click(); });
    connect(ListView1, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        PopupMenu2->popup(ListView1->viewport()->mapToGlobal(at));
    });
    connect(ListView1, &QAbstractItemView::doubleClicked, this, [this] { ListView1DblClick(); });
    ListView1->onKeyDown = [this](QKeyEvent* event) { ListView1KeyDown(event); };
    ListView1->onCopy = [this] { CopySelectedRows(); };

    PaintBox1 = new SpectrumPanel(SpectrogramBMP, central);
    PopupMenu1 = new QMenu(PaintBox1);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    Save1 = PopupMenu1->addAction(QStringLiteral("Save..."));
    Save1->setObjectName(QStringLiteral("Save1"));
    connect(Save1, &QAction::triggered, this, [this] { Save1Click(); });
    PopupMenu1->addSeparator();
    ShowScaleAndCutoff1 = PopupMenu1->addAction(QStringLiteral("Show scale and cutoff"));
    ShowScaleAndCutoff1->setObjectName(QStringLiteral("ShowScaleAndCutoff1"));
    ShowScaleAndCutoff1->setCheckable(true);
    connect(ShowScaleAndCutoff1, &QAction::toggled, this,
            [this](bool shown) { PaintBox1->setScaleAndCutoffShown(shown); });
    connect(ShowScaleAndCutoff1, &QAction::triggered, this, [this](bool shown) {
        if (SettingsIni)
            StoreScaleAndCutoff(*SettingsIni, shown);
    });
    connect(PaintBox1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu1->popup(PaintBox1->mapToGlobal(at)); });

    Splitter1 = new QSplitter(Qt::Vertical, central);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(5);
    Splitter1->setChildrenCollapsible(false);
    Splitter1->setOpaqueResize(true);
    Splitter1->addWidget(ListView1);
    Splitter1->addWidget(PaintBox1);
    Splitter1->setStretchFactor(0, 1);
    Splitter1->setStretchFactor(1, 0);
    PaintBox1->hide();
    connect(Splitter1, &QSplitter::splitterMoved, this, [this] {
        if (PaintBox1->isVisible())
            m_panelHeight = PaintBox1->height();
    });
    layout->addWidget(Splitter1);
    setCentralWidget(central);
}

void TAppForm::createStatusBar() {
    StatusBar1 = statusBar();
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    m_statusPanel = new QLabel(StatusBar1);
    m_statusPanel->setObjectName(QStringLiteral("StatusPanel1"));
    StatusBar1->addWidget(m_statusPanel, 1);

    m_progress = new QProgressBar(StatusBar1);
    m_progress->setMaximumWidth(160);
    m_progress->setMaximumHeight(m_statusPanel->sizeHint().height());
    m_progress->setTextVisible(true);
    m_progress->setFormat(QStringLiteral("%v / %m"));
    m_progress->hide();
    StatusBar1->addPermanentWidget(m_progress);

    StopButton = new QToolButton(StatusBar1);
    StopButton->setObjectName(QStringLiteral("StopButton"));
    StopButton->setText(QStringLiteral("Stop"));
    StopButton->setToolTip(QStringLiteral("Stop loading (Esc); the rows already listed stay"));
    StopButton->setAutoRaise(true);
    StopButton->hide();
    StatusBar1->addPermanentWidget(StopButton);
    connect(StopButton, &QToolButton::clicked, this, [this] { StopLoading(); });

    m_escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    m_escape->setContext(Qt::WindowShortcut);
    m_escape->setEnabled(false);
    connect(m_escape, &QShortcut::activated, this, [this] { StopLoading(); });
}

void TAppForm::createTimers() {
    TimerChecker = new QTimer(this);
    TimerChecker->setObjectName(QStringLiteral("TimerChecker"));
    TimerChecker->setInterval(1000);
    connect(TimerChecker, &QTimer::timeout, this, [this] { TimerCheckerTimer(); });
    TimerChecker->start();

    TimerDrawItem = new QTimer(this);
    TimerDrawItem->setObjectName(QStringLiteral("TimerDrawItem"));
    TimerDrawItem->setInterval(100);
    connect(TimerDrawItem, &QTimer::timeout, this, [this] { TimerDrawItemTimer(); });
    TimerDrawItem->start();
}

QString TAppForm::statusText() const {
    return m_statusPanel->text();
}

void TAppForm::setStatusText(const QString& text) {
    m_statusPanel->setText(text);
}

void TAppForm::SetLanguageFile(const QString& Filename) {
    StoreLanguageChoice(*SettingsIni, Filename);
}

void TAppForm::Exit1Click() {
    close();
}

void TAppForm::Help2Click() {
    try {
        m_environment.OpenUrl(OnlineHelpUrl(VendorHost(), m_environment.Context.AppProductName));
    } catch (...) {
        // Help is a convenience; whatever the desktop does with it is its affair.
    }
}

void TAppForm::ToolButton1Click() {
    AddFolder1->trigger();
}

void TAppForm::ToolButton3Click() {
    AddFiles1->trigger();
}

void TAppForm::ToolButton4Click() {
    Help2->trigger();
}

void TAppForm::ToolButton2Click() {
    About1Click();
}

void TAppForm::ToolButton7Click() {
    SendFeedback1Click();
}

void TAppForm::closeEvent(QCloseEvent* event) {
    // The work under way ends now; the rows need no saving.
    m_closing = true;
    StopLoading();
    stopRenders();
    QMainWindow::closeEvent(event);
}
