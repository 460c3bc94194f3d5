#pragma once

#include <QStringList>

// The Add Files dialog's filter as one text, "description|patterns|..."
// (the seven pieces joined).
QString AddFilesFilterText();

// The same filter as file-dialog name filters, e.g. "Supported Files (*.mp3 ...)".
// "*.*" becomes "*": on this system it means every file, as it does on the
// platform the text was written for, not only names with a dot.
QStringList NameFiltersFromFilterText(const QString& filterText);
