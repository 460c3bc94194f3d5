#include "cli/PathList.h"

#include <QFile>

std::optional<QStringList> ReadPathList(const QString& source, bool nulSeparated, QString& error) {
    QFile file;
    const bool opened = source == u"-" ? file.open(stdin, QIODevice::ReadOnly)
                                       : (file.setFileName(source), file.open(QIODevice::ReadOnly));
    if (!opened) {
        error = file.errorString();
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        error = file.errorString();
        return std::nullopt;
    }
    QStringList paths;
    for (QByteArray& entry : bytes.split(nulSeparated ? '\0' : '\n')) {
        if (!nulSeparated && entry.endsWith('\r'))
            entry.chop(1);
        if (!entry.isEmpty())
            paths.append(QFile::decodeName(entry));
    }
    return paths;
}
