#include "app/FileDialogs.h"

#include <QAbstractItemView>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QListView>
#include <QTreeView>

namespace {

QStringList OpenFilesDialog(QWidget* parent, const QStringList& nameFilters) {
    QFileDialog dialog(parent);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilters(nameFilters);
    if (!nameFilters.isEmpty())
        dialog.selectNameFilter(nameFilters.first());
    dialog.setDefaultSuffix(QStringLiteral("mp3"));
    dialog.setOption(QFileDialog::ReadOnly, false);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}

QStringList PickFoldersDialog(QWidget* parent, const QString& startFolder) {
    QFileDialog dialog(parent, QStringLiteral("Select folder:"));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    // The desktop's own folder picker chooses one folder only; ours lets the
    // user pick several with Ctrl or Shift.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setLabelText(QFileDialog::Accept, QStringLiteral("Select"));
    // Started from a terminal, the folder it was started in is the likely one.
    dialog.setDirectory(startFolder.isEmpty() ? QDir::currentPath() : startFolder);
    for (auto* view : dialog.findChildren<QListView*>(QStringLiteral("listView")))
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    for (auto* view : dialog.findChildren<QTreeView*>(QStringLiteral("treeView")))
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    QStringList folders;
    for (const QString& folder : dialog.selectedFiles()) {
        if (QFileInfo(folder).isDir())
            folders << folder;
    }
    return folders;
}

QString SavePngDialog(QWidget* parent) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(QStringLiteral("PNG File (*.png)"));
    dialog.setDefaultSuffix(QStringLiteral("png"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

FileDialogs::ResultsFile SaveResultsDialog(QWidget* parent) {
    const QString csv = QStringLiteral("CSV (*.csv)");
    const QString jsonLines = QStringLiteral("JSON lines (*.jsonl)");
    QFileDialog dialog(parent, QStringLiteral("Export Results"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters({csv, jsonLines});
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&](const QString& filter) {
        dialog.setDefaultSuffix(filter == jsonLines ? QStringLiteral("jsonl")
                                                    : QStringLiteral("csv"));
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return {dialog.selectedFiles().first(), dialog.selectedNameFilter() == jsonLines
                                                ? ResultLineFormat::JsonLines
                                                : ResultLineFormat::Csv};
}

} // namespace

FileDialogs FileDialogs::Standard() {
    return FileDialogs{OpenFilesDialog, PickFoldersDialog, SavePngDialog, SaveResultsDialog};
}
