#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

// The file dialogs of the main window, replaceable so tests can answer them.
// Each returns an empty result when the user cancels.
struct TFileDialogs {
    // Add Files: several existing files, with the given name filters (the first preselected).
    std::function<QStringList(QWidget* parent, const QStringList& nameFilters)> OpenFiles;
    // Add Folder: one or more existing folders, starting at `startFolder`.
    std::function<QStringList(QWidget* parent, const QString& startFolder)> PickFolders;
    // Save...: a PNG file name (overwriting asked for).
    std::function<QString(QWidget* parent)> SavePng;

    static TFileDialogs Standard();
};
