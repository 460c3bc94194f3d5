#pragma once

#include "app/AnalysisAhead.h"
#include "app/FileDialogs.h"
#include "platform/UrlOpener.h"

#include <QElapsedTimer>
#include <QImage>
#include <QMainWindow>
#include <QSettings>
#include <QStringList>
#include <functional>
#include <memory>

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
class TResultList;
class TSpectrumPanel;
class UpdateCheckController;

// What the main window takes from its surroundings; tests replace parts.
struct TAppFormEnvironment {
    QString ExecutablePath; // its version block and its folder (data folder)
    QString UserDataFolder; // where the data folder goes when the above is not writable
    AnalyzerFunction Analyze;
    // The results kept between runs that Analyze goes through, for File >
    // Forget Stored Results; null when there are none.
    std::shared_ptr<ResultCache> Cache;
    int AnalysisThreads = 1;
    std::function<void(const QString&, QImage&)> RenderSpectrogram;
    UrlOpenerFunction OpenUrl;
    std::function<void(const QString& path)> ShowInFileManager; // empty: the desktop's
    std::function<void(QWidget* parent, const QString& text)> ShowError;
    TFileDialogs Dialogs;
    // Whether the first tick of TimerChecker asks the vendor server; the
    // tests leave it off so no window of theirs reaches the network.
    bool CheckForUpdates = false;
    // Lets a test point the check at its own store and server.
    std::function<void(struct TCheckConfig&)> AdjustUpdateCheck;
    // After a language change: runs the restart script and ends the program.
    // Empty: the script runs detached and the application quits.
    std::function<void(const QString& script, const QString& workingFolder)> Restart;

    // The running program's: this executable, the real analysis on all cores
    // through the user's results cache, the desktop's dialogs and URL handler.
    static TAppFormEnvironment Standard();
};

// The main window: menus, toolbar, the result list, the spectrum panel and
// the status bar. Handlers keep the names of the controls they serve.
class TAppForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TAppForm(TAppFormEnvironment environment, QWidget* parent = nullptr);
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
    TResultList* ListView1 = nullptr;
    QMenu* PopupMenu2 = nullptr;
    QAction* Open1 = nullptr;
    QAction* ShowinExplorer1 = nullptr;
    QAction* Delete1 = nullptr;
    QAction* SelectAll1 = nullptr;

    // The spectrum panel, the splitter above it and its popup.
    QSplitter* Splitter1 = nullptr;
    TSpectrumPanel* PaintBox1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* Save1 = nullptr;

    QStatusBar* StatusBar1 = nullptr;
    QToolButton* StopButton = nullptr;
    QTimer* TimerChecker = nullptr;
    QTimer* TimerDrawItem = nullptr;

    std::unique_ptr<QSettings> SettingsIni;
    QStringList FoundFiles;
    QString LastFolder;
    QString LastDrawnFile;
    QImage SpectrogramBMP;

    // The Add Files dialog's filter, "description|patterns|...".
    QString OpenDialogFilter;

    QString statusText() const;
    bool isLoading() const { return m_loadDepth > 0; }
    // The row still waiting for its analysis, if any.
    QTableWidgetItem* pendingRow() const { return m_pendingRow; }

    // Analyses one file and appends its row.
    void Ekle(const QString& dosyaadi);
    // Loads one folder, scanned at any depth, into the list.
    void KlasorYukle(const QString& klasor);
    // Appends rows for `paths` in order, analysing ahead on several threads;
    // false when the load was stopped.
    bool EkleAll(const QStringList& paths);
    // Loads what the program was started with, in order: folders as Add
    // Folder loads them, files as Add Files does (whatever their extension).
    void OpenPaths(const QStringList& paths);
    // Asks a running load to stop; the rows already complete stay.
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
    void loadStopRequested();

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
    void beginLoad();
    void endLoad();
    void Ekle(const QString& dosyaadi, AnalysisAhead& ahead, qsizetype index);
    bool waitForResult(AnalysisAhead& ahead, qsizetype index);
    void showPanel();
    void hidePanel();
    QStringList droppableFiles(const QMimeData* mime) const;
    void runQueuedDrops();
    QStringList scanInBackground(const QString& folder);

    TAppFormEnvironment m_environment;
    std::unique_ptr<UpdateCheckController> m_updateCheck;
    QLabel* m_statusPanel = nullptr;
    QProgressBar* m_progress = nullptr;
    QShortcut* m_escape = nullptr;
    QTableWidgetItem* m_pendingRow = nullptr;
    QStringList m_droppedQueue;
    bool m_batchRunning = false;
    int m_loadDepth = 0;
    bool m_stopRequested = false;
    bool m_inItemChanged = false;
    bool m_closing = false;
    int m_panelHeight = 136;
    QElapsedTimer m_pumpClock;
    static constexpr qint64 kPumpIntervalMs = 25;
};
