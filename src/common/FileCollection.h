#pragma once

#include <QCollator>
#include <QString>
#include <QStringList>
#include <stop_token>

// True when the name's extension (from the last "." of its last component),
// lower-cased in ASCII, is one of the media extensions folder scans and drops
// accept. ".opus" is deliberately not among them: it is reached through the
// Add Files dialog only.
bool IsSupportedFile(const QString& name);

// The order a file manager lists a folder in: by name, case-insensitive, the
// numbers in names by their value ("track 9" before "track 10"), by the
// user's locale (English rules under the C locale).
class FileNameOrder {
public:
    FileNameOrder();
    bool less(const QString& a, const QString& b) const;

private:
    QCollator m_collator;
};

// Appends every supported file at any depth below `folder` to `found`: depth
// first, pre-order, each folder's files and subfolders in one sequence in
// FileNameOrder, hidden files included. Unreadable folders contribute nothing. Links to folders are
// followed, but a folder already visited in this scan is not entered again,
// so link loops end. FIFOs, sockets and devices are skipped. Once `stop` is
// requested the scan ends within one directory entry, keeping what it found.
void ScanFolder(const QString& folder, QStringList& found, std::stop_token stop = {});
