#pragma once

#include <QString>
#include <QStringList>

// True when the name's extension (from the last "." of its last component),
// lower-cased in ASCII, is one of the media extensions folder scans and drops
// accept. ".opus" is deliberately not among them: it is reached through the
// Add Files dialog only.
bool IsSupportedFile(const QString& name);

// Appends every supported file at any depth below `folder` to `found`: depth
// first, pre-order, in the order the file system lists entries, hidden files
// included. Unreadable folders contribute nothing. Links to folders are
// followed, but a folder already visited in this scan is not entered again,
// so link loops end. FIFOs, sockets and devices are skipped.
void ScanFolder(const QString& folder, QStringList& found);
