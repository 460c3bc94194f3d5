#pragma once

#include "analysis/OrderedAnalysis.h"
#include "analysis/Spectrogram.h"
#include "app/AppContext.h"
#include "app/FileDialogs.h"
#include "app/PanelOverlay.h"
#include "platform/UrlOpener.h"
#include "services/UpdateCheckController.h"

#include <QImage>
#include <QMainWindow>
#include <QSettings>
#include <QStringList>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <thread>

class BusyCursorGuard;
class NoticeCountdown;
class QAction;
class QLabel;
class QMenu;
class QMimeData;
class QProgressBar;
class QShortcut;
class QSplitter;
class QTableWidgetItem;
class QTimer;
class QToolBar;
class QToolButton;
class ResultCache;
class ResultList;
class SpectrumPanel;

// What the main window takes from its surroundings; tests replace parts.
struct AppFormEnvironment {
    // Who the program is, its data folder, settings.ini and the interface
    // language, as main() found them at the start of the run.
    AppContext Context;
    FileReportFunction Analyze; // one file's analysis, on an analysis thread
    // The results kept between runs that Analyze goes through, for File >
    // Forget Stored Results; null when there are none.
    std::shared_ptr<ResultCache> Cache;
    int AnalysisThreads = 1;
    // One file's spectrogram, on a render thread of the window's; it ends
    // early (as SpectrogramError::Cancelled) once `stop` is requested.
    std::function<SpectrogramRender(const QString&, std::stop_token)> RenderSpectrogram;
    UrlOpenerFunction OpenUrl;
    std::function<void(const QString& path)> ShowInFileManager; // empty: the desktop's
    std::function<void(QWidget* parent, const QString& text)> ShowError;
    FileDialogs Dialogs;
    // Whether the first tick of TimerChecker asks the vendor server; the
    // tests leave it off so no window of theirs reaches the network.
    bool CheckForUpdates = false;
    // Lets a test point the check at its own store and server.
    std::function<void(struct CheckConfig&)> AdjustUpdateCheck;
    // After a language change: runs the restart script and ends the program.
    // Empty: the script runs detached and the application quits.
    std::function<void(const QString& script, const QString& workingFolder)> Restart;

    // The running program's: `context`, the real analysis on all cores
    // through the user's results cache, the desktop's dialogs and URL handler.
    static AppFormEnvironment Standard(AppContext context);
};

// The main window: menus, toolbar, the result list, the spectrum panel and
// the status bar. Handlers keep the names of the controls they serve.
class TAppForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TAppForm(AppFormEnvironment environment, QWidget* parent = nullptr);
    ~TAppForm() override;

    // Menus and toolbar.
    QMenu* FileMenu = nullptr;
    QMenu* HelpMenu = nullptr;
    QAction* Clear1 = nullptr;
    QAction* AddFiles1 = nullptr;
    QAction* AddFolder1 = nullptr;
    QAction* ExportResults1 = nullptr;
    QAction* ForgetStoredResults1 = nullptr;
    QAction* Exit1 = nullptr;
    QAction* Help2 = nullptr;
    QAction* UpdateNotifications1 = nullptr;
    QAction* UpdateNotificationsBar = nullptr;
    QAction* Language1 = nullptr;
    QAction* SendFeedback1 = nullptr;
    QAction* About1 = nullptr;
    QToolBar* ToolBar1 = nullptr;
    QAction* ToolButton3 = nullptr; // Add Files
    QAction* ToolButton1 = nullptr; // Add Folder
    QAction* ToolButton5 = nullptr; // separator
    QAction* ToolButton7 = nullptr; // Feedback
    QAction* ToolButton2 = nullptr; // About
    QAction* ToolButton4 = nullptr; // Help

    // The result list and its popup.
    ResultList* ListView1 = nullptr;
    QMenu* PopupMenu2 = nullptr;
    QAction* Open1 = nullptr;
    QAction* ShowinExplorer1 = nullptr;
    QAction* Delete1 = nullptr;
    QAction* SelectAll1 = nullptr;

    // The spectrum panel, the splitter above it and its popup.
    QSplitter* Splitter1 = nullptr;
    SpectrumPanel* PaintBox1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* Save1 = nullptr;
    QAction* ShowScaleAndCutoff1 = nullptr; // checkable, remembered in SettingsIni

    QStatusBar* StatusBar1 = nullptr;
    QToolButton* StopButton = nullptr;
    QTimer* TimerChecker = nullptr;
    QTimer* TimerDrawItem = nullptr;

    std::shared_ptr<QSettings> SettingsIni; // the run's, from the context
    QStringList FoundFiles;
    QString LastFolder;
    QString LastDrawnFile;
    QImage SpectrogramBMP;

    // The Add Files dialog's filter, "description|patterns|...".
    QString OpenDialogFilter;

    QString statusText() const;
    // From the start of a load until its last row is in or it is stopped.
    bool isLoading() const { return m_loading; }
    // The row still waiting for its analysis, if any.
    QTableWidgetItem* pendingRow() const { return m_pendingRow; }
    // From the moment the chosen row's spectrogram is asked for until its
    // picture (or its failure) is in, or it is given up.
    bool isDrawing() const { return m_drawing; }

    // Loads run beside the window: the folder scan and the analyses on
    // threads of their own, the rows arriving here in list order. Each call
    // starts a load, or joins the one under way as its next step;
    // loadFinished tells when the last step is done or the load stopped.
    //
    // Analyses one file and appends its row.
    void Ekle(const QString& dosyaadi);
    // Loads one folder, scanned at any depth, into the list.
    void KlasorYukle(const QString& klasor);
    // Appends rows for `paths` in order, analysing ahead on several threads.
    void addPaths(const QStringList& paths);
    // Loads what the program was started with, in order: folders as Add
    // Folder loads them, files as Add Files does (whatever their extension).
    void OpenPaths(const QStringList& paths);
    // Ends a load under way at once: the scan and the analyses stop at their
    // next read, the rows already complete stay, and no step still queued runs.
    void StopLoading();

    // The language dialog hands over its choice (German.lang.txt) before it
    // restarts the program; it is kept in settings.ini for the next start.
    void SetLanguageFile(const QString& Filename);

    // The help, about, feedback and language commands and the update check.
    void Exit1Click();
    void Help2Click();
    void About1Click();
    void SendFeedback1Click();
    void Language1Click();
    void UpdateNotifications1Click();
    void TimerCheckerTimer();
    void ToolButton1Click();
    void ToolButton2Click();
    void ToolButton3Click();
    void ToolButton4Click();
    void ToolButton7Click();

    // File collection.
    void AddFiles1Click();
    void AddFolder1Click();

    // Results: the whole list to a CSV or JSON lines file, the stored
    // results forgotten, the selected rows to the clipboard.
    void ExportResults1Click();
    void ForgetStoredResults1Click();
    void CopySelectedRows();

    // Row commands.
    void Open1Click();
    void ShowinExplorer1Click();
    void Delete1Click();
    void SelectAll1Click();
    void Clear1Click();
    void ListView1DblClick();
    void ListView1KeyDown(QKeyEvent* event);

    // Spectrum panel.
    void TimerDrawItemTimer();
    void ListViewItemChanged();
    void Save1Click();

signals:
    // The load ended: every step done (true), or stopped (false).
    void loadFinished(bool completed);

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void FormCreate();
    void FormDestroy();
    void createMenus();
    void createToolBar();
    void createCentralArea();
    void createStatusBar();
    void createTimers();
    void setStatusText(const QString& text);
    // One step of a load: a list of files, or a folder to scan first.
    struct LoadStep {
        QStringList Files;
        QString Folder; // when set, Files come from scanning it
        bool BusyCursor = false;
    };
    void queueStep(LoadStep step);
    void runNextStep();
    void analyseStep(const QStringList& paths);
    void scanFinished(quint64 step, const QStringList& found);
    void reportArrived(quint64 step, qsizetype index, FileReport report);
    void stepFinished();
    void endLoad(bool completed);
    void stopWorkers();
    void updateCheckFinished(const UpdateCheckController::Outcome& outcome);
    void showPanel();
    void hidePanel();
    // The spectrogram is drawn on a thread of its own, one render counting
    // at a time: a newer choice, Clear, Delete or closing gives up the one
    // under way, and what a given-up render delivers is dropped.
    void startRender(const QString& path, const PanelLegend& legend);
    void renderFinished(quint64 number, SpectrogramRender render, const QString& raised);
    bool cancelRender(); // whether one was under way
    void endDrawing();   // the panel, cursor and Save as when nothing is being drawn
    void stopRenders();
    // Clear or Delete took the row being drawn away.
    void dropRenderOf(const QList<int>& removedRows);
    QStringList droppableFiles(const QMimeData* mime) const;

    AppFormEnvironment m_environment;
    std::unique_ptr<UpdateCheckController> m_updateCheck;
    // Shared by every new-version notice the window opens during the run.
    std::shared_ptr<NoticeCountdown> m_noticeCountdown;
    QLabel* m_statusPanel = nullptr;
    QProgressBar* m_progress = nullptr;
    QShortcut* m_escape = nullptr;
    QTableWidgetItem* m_pendingRow = nullptr;
    bool m_closing = false;
    int m_panelHeight = 136;

    // The load under way: its steps still to come, the step running (its
    // number tells its queued results from those of a step that ended), the
    // folder scan or the analysis of that step, and the rows it has listed.
    bool m_loading = false;
    std::deque<LoadStep> m_steps;
    quint64 m_step = 0;
    bool m_stepIsFolder = false;
    std::jthread m_scan;
    std::unique_ptr<OrderedAnalysis> m_analysis;
    QStringList m_stepFiles;
    std::unique_ptr<BusyCursorGuard> m_cursor;

    // The renders: the one that counts is number m_renderNumber while
    // m_drawing; given-up ones stay here until their thread has returned.
    std::map<quint64, std::jthread> m_renders;
    quint64 m_renderNumber = 0;
    bool m_drawing = false;
    QTableWidgetItem* m_drawnRow = nullptr; // the row being drawn; null once it is deleted
    PanelLegend m_drawnLegend;
    std::unique_ptr<BusyCursorGuard> m_renderCursor;
};
