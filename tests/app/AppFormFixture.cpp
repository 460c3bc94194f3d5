#include "AppFormFixture.h"

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QMimeData>
#include <QRegularExpression>
#include <QTest>
#include <stdexcept>

TAudioQualityResult ScriptedAnalysis(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    if (name.contains(u"raise"))
        throw std::runtime_error("scripted failure");
    TAudioQualityResult result;
    if (name.contains(u"error")) {
        result.Verdict = qvError;
        result.Reason = QStringLiteral("Cannot open file");
        return result;
    }
    const QRegularExpressionMatch kbps = QRegularExpression(QStringLiteral("(\\d+)k")).match(name);
    result.BitrateKbps = kbps.hasMatch() ? kbps.captured(1).toInt() : 128;
    result.SampleRate = 44100;
    result.CutoffHz = 16000.5f;
    result.Verdict = qvPossible;
    result.IsSuspicious = true;
    result.Reason = QStringLiteral("for ") + name;
    return result;
}

FileReportFunction Reports(std::function<TAudioQualityResult(const QString&)> analyse) {
    return [analyse = std::move(analyse)](const QString& path, std::stop_token) {
        FileReport report;
        report.Path = path;
        report.Quality = analyse(path);
        // A file the analysis could not judge has no opinion on its source either.
        if (report.Quality.Verdict == qvError)
            report.Source = FailedAssessment();
        return report;
    };
}

SpectrogramRender FourColumnPicture() {
    SpectrogramRender render;
    render.picture = QImage(4, 1024, QImage::Format_BGR888);
    render.picture.fill(QColor(200, 40, 10));
    for (int y = 0; y < render.picture.height(); ++y)
        render.picture.setPixelColor(0, y, Qt::white);
    render.sampleRate = 44100;
    render.frames = 4;
    return render;
}

AppFormTest::AppFormTest() {
    environment.Analyze = Reports(ScriptedAnalysis);
    environment.AnalysisThreads = 2;
    environment.RenderSpectrogram = [this](const QString& file, std::stop_token) {
        noteRendered(file);
        return FourColumnPicture();
    };
    environment.OpenUrl = [this](const QUrl& url) {
        openedUrls << url;
        return true;
    };
    environment.ShowInFileManager = [this](const QString& path) { shownInFileManager << path; };
    environment.ShowError = [this](QWidget*, const QString& text) { errors << text; };
    environment.Dialogs.OpenFiles = [this](QWidget*, const QStringList& filters) {
        lastNameFilters = filters;
        return filesToPick;
    };
    environment.Dialogs.PickFolders = [this](QWidget*, const QString& start) {
        lastStartFolder = start;
        return foldersToPick;
    };
    environment.Dialogs.SavePng = [this](QWidget*) { return pngToSave; };
    environment.Dialogs.SaveResults = [this](QWidget*) { return resultsToSave; };
    environment.Restart = [this](const QString& script, const QString& workingFolder) {
        restarts.append({script, workingFolder});
    };
}

void AppFormTest::TearDown() {
    form.reset();
    language.reset(); // the next suite starts in English
}

TAppForm& AppFormTest::makeForm(bool show) {
    form.reset(); // one window at a time: each starts and ends the decoding layer
    language.reset();
    context = AppContext(); // settings.ini is let go before the next start opens it
    // The languages and the data folder beside the sandboxed executable, not
    // beside the test's.
    context = StartAppContext(exeDir.filePath(QStringLiteral("korvane")), userData.path());
    language.emplace(context.Language);
    form = std::make_unique<TAppForm>(environment);
    if (show) {
        form->show();
        form->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }
    return *form;
}

bool AppFormTest::waitForLoad() {
    bool completed = false;
    const QMetaObject::Connection watch = QObject::connect(
        form.get(), &TAppForm::loadFinished, [&completed](bool done) { completed = done; });
    const bool ended = QTest::qWaitFor([this] { return !form->isLoading(); }, 30000);
    QObject::disconnect(watch);
    EXPECT_TRUE(ended) << "the load never ended";
    // A load that ended before the wait began: judge it by what it left.
    if (ended && !completed)
        completed = form->statusText() != u"Loading stopped.";
    return completed;
}

QStringList AppFormTest::renderedFiles() const {
    const std::lock_guard lock(renderedMutex);
    return rendered;
}

void AppFormTest::noteRendered(const QString& file) {
    const std::lock_guard lock(renderedMutex);
    rendered << file;
}

void AppFormTest::drawChosenRow() {
    form->TimerDrawItemTimer();
    EXPECT_TRUE(QTest::qWaitFor([this] { return !form->isDrawing(); }, 30000))
        << "the render never delivered";
}

TAppForm& AppFormTest::formShowingFirstPicture(const QStringList& paths) {
    TAppForm& window = makeForm();
    window.resize(900, 800);
    load(paths);
    window.TimerDrawItem->stop();
    selectRows({0});
    drawChosenRow();
    return window;
}

bool AppFormTest::load(const QStringList& paths) {
    form->addPaths(paths);
    return waitForLoad();
}

bool AppFormTest::loadFolder(const QString& folder) {
    form->KlasorYukle(folder);
    return waitForLoad();
}

QStringList AppFormTest::rowsAsText() const {
    QStringList rows;
    ResultList* list = form->ListView1;
    for (int row = 0; row < list->rowCount(); ++row) {
        QStringList cells{QFileInfo(list->caption(row)).fileName()};
        for (int i = 0; i < 5; ++i)
            cells << list->subItem(row, i);
        const QTableWidgetItem* verdict = list->item(row, ResultList::colResult);
        cells << (verdict ? verdict->data(ResultList::ImageIndexRole).toString() : QString());
        rows << cells.join(u'|');
    }
    return rows;
}

QStringList AppFormTest::captions() const {
    QStringList out;
    for (int row = 0; row < form->ListView1->rowCount(); ++row)
        out << form->ListView1->caption(row);
    return out;
}

QString AppFormTest::touch(const QString& relativePath, const QByteArray& bytes) {
    const QString path = media.filePath(relativePath);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes);
    return path;
}

void AppFormTest::selectRows(std::initializer_list<int> rows) {
    ResultList* list = form->ListView1;
    list->clearSelection();
    for (int row : rows)
        list->selectionModel()->select(list->model()->index(row, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void AppFormTest::dropOnto(QWidget* target, const QStringList& paths) {
    QMimeData mime;
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls << QUrl::fromLocalFile(path);
    mime.setUrls(urls);
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    EXPECT_TRUE(drop.isAccepted());
}
