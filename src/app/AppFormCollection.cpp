// File collection: the Add Files and Add Folder dialogs, drops from the file
// manager, and loads that analyse ahead while rows are appended in order.
#include "analysis/FileReport.h"
#include "app/AddFilesFilter.h"
#include "app/AppForm.h"
#include "app/ResultList.h"
#include "common/FileCollection.h"
#include "platform/BusyCursor.h"

#include <QAction>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QFileInfo>
#include <QMimeData>
#include <QProgressBar>
#include <QScopeGuard>
#include <QShortcut>
#include <QTimer>
#include <QToolButton>
#include <atomic>
#include <thread>

void TAppForm::beginLoad() {
    if (m_loadDepth++ == 0) {
        m_stopRequested = false;
        setStatusText(QString()); // an earlier "stopped" is old news
        // One load at a time: a second one would interleave its rows with
        // this one's. Drops are queued instead (see dropEvent).
        for (QAction* action : {AddFiles1, AddFolder1, ToolButton3, ToolButton1})
            action->setEnabled(false);
        StopButton->show();
        m_escape->setEnabled(true);
    }
}

void TAppForm::endLoad() {
    if (--m_loadDepth > 0)
        return;
    for (QAction* action : {AddFiles1, AddFolder1, ToolButton3, ToolButton1})
        action->setEnabled(true);
    StopButton->hide();
    m_progress->hide();
    m_escape->setEnabled(false);
    if (!m_droppedQueue.isEmpty() && !m_closing)
        QTimer::singleShot(0, this, [this] { runQueuedDrops(); });
}

void TAppForm::StopLoading() {
    if (m_loadDepth == 0)
        return;
    m_stopRequested = true;
    m_droppedQueue.clear();
    emit loadStopRequested();
}

bool TAppForm::waitForResult(AnalysisAhead& ahead, qsizetype index) {
    if (!ahead.isReady(index) && !m_stopRequested) {
        QEventLoop loop;
        connect(&ahead, &AnalysisAhead::resultReady, &loop, [&loop, index](qsizetype done) {
            if (done == index)
                loop.quit();
        });
        connect(this, &TAppForm::loadStopRequested, &loop, &QEventLoop::quit);
        if (!ahead.isReady(index) && !m_stopRequested)
            loop.exec();
    }
    if (ahead.isReady(index))
        return true;
    // Ended without the result: a stop, or the application is quitting.
    m_stopRequested = true;
    return false;
}

void TAppForm::Ekle(const QString& dosyaadi, AnalysisAhead& ahead, qsizetype index) {
    QTableWidgetItem* row = ListView1->appendPendingRow(dosyaadi);
    m_pendingRow = row;
    auto notPending = qScopeGuard([this] { m_pendingRow = nullptr; });

    const bool ready = waitForResult(ahead, index);
    if (m_pendingRow != row) // the user removed the row meanwhile
        return;
    if (!ready) {
        ListView1->removeRow(row->row());
        return;
    }
    // The list shows "-" for an analysis that raised; the export reports it
    // as korvane-cli does.
    TResultRowTexts texts;
    TAudioQualityResult result;
    try {
        result = ahead.take(index);
        texts = RowTextsFor(result);
    } catch (const std::exception& error) {
        texts = RaisedRowTexts();
        result = ResultOrFailure(RaisedReport(dosyaadi, QString::fromLocal8Bit(error.what())));
    } catch (...) {
        texts = RaisedRowTexts();
        result = ResultOrFailure(RaisedReport(dosyaadi, QStringLiteral("unknown error")));
    }
    ListView1->fillRow(row, texts);
    ListView1->setRowResult(row, result);
    m_pendingRow = nullptr;
    // Results that were ready ahead arrive faster than anyone can read; let
    // the window catch up a few dozen times a second rather than per row.
    if (!m_pumpClock.isValid() || m_pumpClock.hasExpired(kPumpIntervalMs)) {
        QCoreApplication::processEvents();
        m_pumpClock.start();
    }
}

bool TAppForm::EkleAll(const QStringList& paths) {
    if (m_batchRunning) {
        qWarning("A load is already running; %lld files not added", qlonglong(paths.size()));
        return false;
    }
    beginLoad();
    auto end = qScopeGuard([this] {
        m_batchRunning = false;
        endLoad();
    });
    m_batchRunning = true;
    if (paths.isEmpty() || m_stopRequested)
        return !m_stopRequested;

    AnalysisAhead ahead(paths, m_environment.AnalysisThreads, m_environment.Analyze);
    m_progress->setRange(0, int(paths.size()));
    m_progress->setValue(0);
    m_progress->setVisible(paths.size() > 1);
    for (qsizetype i = 0; i < paths.size(); ++i) {
        if (m_stopRequested)
            return false;
        Ekle(paths[i], ahead, i);
        m_progress->setValue(int(i + 1));
    }
    return !m_stopRequested;
}

void TAppForm::Ekle(const QString& dosyaadi) {
    EkleAll(QStringList{dosyaadi});
}

QStringList TAppForm::scanInBackground(const QString& folder) {
    // A big or slow (network) folder takes a while to list; keep the window
    // answering meanwhile.
    QStringList found;
    QEventLoop loop;
    std::atomic<bool> done{false};
    {
        std::jthread scanner([&] {
            try {
                ScanFolder(folder, found);
            } catch (...) {
                found.clear();
            }
            done.store(true);
            QMetaObject::invokeMethod(
                &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
        });
        if (!done.load())
            loop.exec();
    }
    return found;
}

void TAppForm::KlasorYukle(const QString& klasor) {
    beginLoad();
    auto end = qScopeGuard([this] { endLoad(); });
    setStatusText(QStringLiteral("Loading Files..."));
    BusyCursorGuard cursor;
    QCoreApplication::processEvents();

    FoundFiles.clear();
    LastFolder = klasor;
    FoundFiles = scanInBackground(klasor);
    const bool completed = !m_stopRequested && EkleAll(FoundFiles);
    setStatusText(completed ? QString() : QStringLiteral("Loading stopped."));
}

void TAppForm::OpenPaths(const QStringList& paths) {
    beginLoad();
    auto end = qScopeGuard([this] { endLoad(); });
    QStringList files;
    auto addFiles = [&] {
        if (files.isEmpty() || m_stopRequested)
            return;
        BusyCursorGuard cursor;
        EkleAll(std::exchange(files, {}));
    };
    for (const QString& path : paths) {
        if (m_stopRequested)
            return;
        // Rows show full paths, whatever the working folder was.
        const QFileInfo info(path);
        if (info.isDir()) {
            addFiles();
            KlasorYukle(info.absoluteFilePath());
        } else {
            files << info.absoluteFilePath();
        }
    }
    addFiles();
}

void TAppForm::AddFiles1Click() {
    if (isLoading())
        return;
    const QStringList files =
        m_environment.Dialogs.OpenFiles(this, NameFiltersFromFilterText(OpenDialogFilter));
    if (files.isEmpty())
        return;
    BusyCursorGuard cursor;
    EkleAll(files);
}

void TAppForm::AddFolder1Click() {
    if (isLoading())
        return;
    const QStringList folders = m_environment.Dialogs.PickFolders(this, LastFolder);
    if (folders.isEmpty())
        return;
    LastFolder = folders.first();
    beginLoad();
    auto end = qScopeGuard([this] { endLoad(); });
    for (const QString& folder : folders) {
        if (m_stopRequested)
            break;
        KlasorYukle(folder);
    }
}

QStringList TAppForm::droppableFiles(const QMimeData* mime) const {
    QStringList paths;
    if (!mime || !mime->hasUrls())
        return paths;
    for (const QUrl& url : mime->urls()) {
        if (!url.isLocalFile())
            continue;
        // The whole path, however long; folders are judged by their names
        // like files, so an "album.flac" folder is handed over too.
        const QString path = url.toLocalFile();
        if (IsSupportedFile(path))
            paths << path;
    }
    return paths;
}

void TAppForm::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void TAppForm::dragMoveEvent(QDragMoveEvent* event) {
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void TAppForm::dropEvent(QDropEvent* event) {
    const QStringList paths = droppableFiles(event->mimeData());
    event->acceptProposedAction();
    if (paths.isEmpty())
        return;
    m_droppedQueue << paths;
    // Load after the drop has been answered, so the file manager is not kept
    // waiting; a drop during a load waits for that load to end.
    if (!isLoading())
        QTimer::singleShot(0, this, [this] { runQueuedDrops(); });
}

void TAppForm::runQueuedDrops() {
    if (isLoading() || m_droppedQueue.isEmpty() || m_closing)
        return;
    const QStringList paths = std::exchange(m_droppedQueue, {});
    EkleAll(paths);
}
