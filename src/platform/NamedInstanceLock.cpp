#include "platform/NamedInstanceLock.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

NamedInstanceLock::NamedInstanceLock(const QString& name) {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    m_path = folder + u'/' + name + QStringLiteral(".lock");
    m_fd = ::open(QFile::encodeName(m_path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_fd < 0)
        return;
    // Shared, so any number of instances hold it at once; the result is of
    // no consequence, as on the platform this stands in for.
    if (::flock(m_fd, LOCK_SH | LOCK_NB) != 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

NamedInstanceLock::~NamedInstanceLock() {
    if (m_fd >= 0)
        ::close(m_fd);
}
