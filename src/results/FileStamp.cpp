#include "results/FileStamp.h"

#include <QFile>
#include <QFileInfo>
#include <sys/stat.h>

std::optional<FileStamp> StampOf(const QString& path) {
    const QString canonical = QFileInfo(path).canonicalFilePath();
    if (canonical.isEmpty())
        return std::nullopt;
    struct stat status {};
    if (::stat(QFile::encodeName(canonical).constData(), &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    FileStamp stamp;
    stamp.CanonicalPath = canonical;
    stamp.Size = qint64(status.st_size);
    stamp.ModifiedNs = qint64(status.st_mtim.tv_sec) * 1'000'000'000 + status.st_mtim.tv_nsec;
    return stamp;
}
