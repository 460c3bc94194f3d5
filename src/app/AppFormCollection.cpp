// File collection: the Add Files and Add Folder dialogs, drops from the file
// manager, and loads that scan and analyse beside the window while rows are
// appended in order.
#include "analysis/FileReport.h"
#include "app/AddFilesFilter.h"
#include "app/AppForm.h"
#include "app/ResultList.h"
#include "common/FileCollection.h"
#include "platform/BusyCursor.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QProgressBar>
#include <QShortcut>
#include <QTimer>
#include <QToolButton>
#include <thread>

void TAppForm::queueStep(LoadStep step) {
    m_steps.push_back(std::move(step));
    if (m_loading)
        return;
    m_loading = true;
    setStatusText(QString()); // an earlier "stopped" is old news
    // One load at a time: a second one would interleave its rows with this
    // one's. What comes meanwhile (a drop) waits as a later step.
    for (QAction* action : {AddFiles1, AddFolder1, ToolButton3, ToolButton1})
        action->setEnabled(false);
    StopButton->show();
    m_escape->setEnabled(true);
    // Started from the event loop, so the caller's own work (a dialog
    // closing, a drop being answered) is done first.
    QTimer::singleShot(0, this, [this, step = m_step] {
        if (m_loading && m_step == step && !m_analysis && !m_scan.joinable())
            runNextStep();
    });
}

void TAppForm::runNextStep() {
    m_cursor.reset();
    if (m_steps.empty()) {
        endLoad(true);
        return;
    }
    LoadStep step = std::move(m_steps.front());
    m_steps.pop_front();
    ++m_step;
    if (step.BusyCursor)
        m_cursor = std::make_unique<BusyCursorGuard>();
    m_stepIsFolder = !step.Folder.isEmpty();
    if (!m_stepIsFolder) {
        analyseStep(step.Files);
        return;
    }
    setStatusText(QStringLiteral("Loading Files..."));
    FoundFiles.clear();
    LastFolder = step.Folder;
    // A big tree or a slow share takes a while to list; the window answers
    // meanwhile, and Stop ends the scan within one directory entry.
    m_scan = std::jthread([this, folder = step.Folder, number = m_step](std::stop_token stop) {
        QStringList found;
        try {
            ScanFolder(folder, found, stop);
        } catch (...) {
            found.clear(); // an unreadable tree lists nothing, as a missing one does
        }
        if (stop.stop_requested())
            return;
        QMetaObject::invokeMethod(
            this, [this, number, found = std::move(found)] { scanFinished(number, found); },
            Qt::QueuedConnection);
    });
}

void TAppForm::scanFinished(quint64 step, const QStringList& found) {
    if (step != m_step || !m_loading)
        return; // a stopped scan's list
    m_scan.join();
    FoundFiles = found;
    analyseStep(FoundFiles);
}

void TAppForm::analyseStep(const QStringList& paths) {
    if (paths.isEmpty()) {
        stepFinished();
        return;
    }
    m_stepFiles = paths;
    m_progress->setRange(0, int(paths.size()));
    m_progress->setValue(0);
    m_progress->setVisible(paths.size() > 1);
    m_pendingRow = ListView1->appendPendingRow(paths.first());
    // Reports come on the analysis threads, in list order; each crosses to
    // this thread as a queued call and becomes its row there.
    m_analysis = std::make_unique<OrderedAnalysis>(
        paths, m_environment.AnalysisThreads, m_environment.Analyze,
        [this, number = m_step](qsizetype index, FileReport report) {
            QMetaObject::invokeMethod(
                this,
                [this, number, index, report = std::move(report)]() mutable {
                    reportArrived(number, index, std::move(report));
                },
                Qt::QueuedConnection);
        });
}

void TAppForm::reportArrived(quint64 step, qsizetype index, FileReport report) {
    if (step != m_step || !m_analysis)
        return; // from a step that was stopped
    // The row is gone when the user deleted it while it waited. The list
    // shows "-" for an analysis that raised; the export reports it as
    // korvane-cli does.
    if (m_pendingRow) {
        ListView1->fillRow(m_pendingRow, report.Raised
                                             ? RaisedRowTexts(report.RaisedReason)
                                             : RowTextsFor(report.Quality, report.Source));
        ListView1->setRowResult(m_pendingRow,
                                {ResultOrFailure(report), AssessmentOrFailure(report)});
    }
    m_pendingRow = nullptr;
    m_progress->setValue(int(index + 1));
    if (index + 1 < m_stepFiles.size()) {
        m_pendingRow = ListView1->appendPendingRow(m_stepFiles[index + 1]);
        return;
    }
    m_analysis.reset(); // every report is in: its threads have ended or are ending
    stepFinished();
}

void TAppForm::stepFinished() {
    if (m_stepIsFolder)
        setStatusText(QString());
    runNextStep();
}

void TAppForm::endLoad(bool completed) {
    m_loading = false;
    m_steps.clear();
    m_stepFiles.clear();
    m_cursor.reset();
    for (QAction* action : {AddFiles1, AddFolder1, ToolButton3, ToolButton1})
        action->setEnabled(true);
    StopButton->hide();
    m_progress->hide();
    m_escape->setEnabled(false);
    emit loadFinished(completed);
}

void TAppForm::stopWorkers() {
    ++m_step; // whatever is still queued for the old step is dropped
    if (m_scan.joinable()) {
        m_scan.request_stop();
        m_scan.join();
    }
    if (m_analysis) {
        m_analysis->requestStop();
        m_analysis.reset(); // the analyses end at their decoder's next read
    }
}

void TAppForm::StopLoading() {
    if (!m_loading)
        return;
    stopWorkers();
    if (m_pendingRow) {
        ListView1->removeRow(m_pendingRow->row());
        m_pendingRow = nullptr;
    }
    setStatusText(QStringLiteral("Loading stopped."));
    endLoad(false);
}

void TAppForm::addPaths(const QStringList& paths) {
    queueStep(LoadStep{paths, {}, false});
}

void TAppForm::Ekle(const QString& dosyaadi) {
    addPaths(QStringList{dosyaadi});
}

void TAppForm::KlasorYukle(const QString& klasor) {
    queueStep(LoadStep{{}, klasor, true});
}

void TAppForm::OpenPaths(const QStringList& paths) {
    QStringList files;
    auto addFiles = [&] {
        if (!files.isEmpty())
            queueStep(LoadStep{std::exchange(files, {}), {}, true});
    };
    for (const QString& path : paths) {
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
    queueStep(LoadStep{files, {}, true});
}

void TAppForm::AddFolder1Click() {
    if (isLoading())
        return;
    const QStringList folders = m_environment.Dialogs.PickFolders(this, LastFolder);
    if (folders.isEmpty())
        return;
    LastFolder = folders.first();
    for (const QString& folder : folders)
        KlasorYukle(folder);
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
    // Loaded after the drop has been answered, so the file manager is not
    // kept waiting; a drop during a load waits for that load's other steps.
    if (!paths.isEmpty() && !m_closing)
        addPaths(paths);
}
