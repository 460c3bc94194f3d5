#pragma once

#include <QString>

// A lock named after the program that every running instance holds shared:
// it never refuses a second instance, but lets an installer or updater see
// (by asking for it exclusively) that the program is running.
class NamedInstanceLock {
public:
    explicit NamedInstanceLock(const QString& name);
    ~NamedInstanceLock();
    NamedInstanceLock(const NamedInstanceLock&) = delete;
    NamedInstanceLock& operator=(const NamedInstanceLock&) = delete;

    bool isHeld() const { return m_fd >= 0; }
    QString path() const { return m_path; }

private:
    QString m_path;
    int m_fd = -1;
};
