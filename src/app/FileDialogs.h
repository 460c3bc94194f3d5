#pragma once

#include "results/ResultLines.h"

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

// The file dialogs of the main window, replaceable so tests can answer them.
// Each returns an empty result when the user cancels.
struct FileDialogs {
    // Add Files: several existing files, with the given name filters (the first preselected).
    std::function<QStringList(QWidget* parent, const QStringList& nameFilters)> OpenFiles;
    // Add Folder: one or more existing folders, starting at `startFolder`.
    std::function<QStringList(QWidget* parent, const QString& startFolder)> PickFolders;
    // Save...: a PNG file name (overwriting asked for).
    std::function<QString(QWidget* parent)> SavePng;
    // Export Results...: a file name and the format of the file type chosen
    // in the dialog (overwriting asked for); an empty name when cancelled.
    struct ResultsFile {
        QString FileName;
        ResultLineFormat Format = ResultLineFormat::Csv;
    };
    std::function<ResultsFile(QWidget* parent)> SaveResults;

    static FileDialogs Standard();
};
