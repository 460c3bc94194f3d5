#pragma once

#include <QString>
#include <optional>

// What tells one state of a file from another for the results cache: the
// file behind any links, its size and its modification time to the
// nanosecond (a file rewritten within the same second still differs).
struct FileStamp {
    QString CanonicalPath;
    qint64 Size = 0;
    qint64 ModifiedNs = 0;

    bool operator==(const FileStamp&) const = default;
};

// Nothing for a path that does not name a readable regular file.
std::optional<FileStamp> StampOf(const QString& path);
