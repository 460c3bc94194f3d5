#pragma once

#include "app/AppForm.h"
#include "app/ResultList.h"
#include "app/SpectrumPanel.h"

#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <optional>

// A main window in a sandbox: its "executable" in a temporary folder, its
// dialogs answered by the test, what it opens and reports recorded.
class AppFormTest : public ::testing::Test {
protected:
    mutable std::mutex renderedMutex;
    QStringList rendered;
    QTemporaryDir exeDir;
    QTemporaryDir userData;
    QTemporaryDir media;
    AppFormEnvironment environment;
    // What the latest start found (environment.Context), its language installed.
    AppContext& context = environment.Context;
    std::optional<InstalledLanguage> language;
    std::unique_ptr<TAppForm> form;

    QList<QUrl> openedUrls;
    QStringList shownInFileManager;
    QStringList errors;
    // The files handed to the render hook, on the window's render threads.
    QStringList renderedFiles() const;
    void noteRendered(const QString& file);
    QList<QPair<QString, QString>> restarts; // restart script, working folder

    // What the dialogs answer next.
    QStringList filesToPick;
    QStringList foldersToPick;
    QString pngToSave;
    FileDialogs::ResultsFile resultsToSave;
    QStringList lastNameFilters;
    QString lastStartFolder;

    AppFormTest();
    void TearDown() override;

    // Starts the program as main() does, with its "executable" in exeDir and
    // the user's data folder in userData, then creates (and shows) the window
    // with `environment` as it stands.
    TAppForm& makeForm(bool show = true);

    // Waits (running the event loop) until the window's load has ended;
    // whether it ended with every step done rather than stopped.
    bool waitForLoad();
    // addPaths(paths), then waitForLoad().
    bool load(const QStringList& paths);
    // KlasorYukle(folder), then waitForLoad().
    bool loadFolder(const QString& folder);
    // One tick of TimerDrawItem by hand, then the event loop runs until the
    // render it started (if any) has delivered.
    void drawChosenRow();
    // A 900 x 800 window with `paths` loaded, TimerDrawItem stopped (the test
    // ticks it) and the first row chosen and drawn.
    TAppForm& formShowingFirstPicture(const QStringList& paths);

    // Row texts as one string per row: caption | five sub-items | verdict image.
    QStringList rowsAsText() const;
    QStringList captions() const;

    QString touch(const QString& relativePath, const QByteArray& bytes = {});
    void selectRows(std::initializer_list<int> rows);
    // Drags `paths` onto the window and drops them, as the file manager does.
    void dropOnto(QWidget* target, const QStringList& paths);
};

// A stand-in analysis whose result is written in the path: "<kbps>k" in the
// name sets the bitrate, "raise" makes it throw, "error" gives qvError.
TAudioQualityResult ScriptedAnalysis(const QString& path);

// A picture four columns wide, the first white, the rest orange-red.
SpectrogramRender FourColumnPicture();

// An analysis of one file as the window's unit of work.
FileReportFunction Reports(std::function<TAudioQualityResult(const QString&)> analyse);
