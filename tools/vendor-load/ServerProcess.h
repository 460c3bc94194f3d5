#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <memory>

// korvane-vendor-server as a child process on loopback, over plain http.
class ServerProcess {
public:
    // `arguments` come after "--http PORT"; the server's log goes to `logFile`.
    ServerProcess(QString program, QStringList arguments, QString logFile);
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    // Starts it on `port` (0: any free port) and waits for its "listening"
    // line; false when it did not come up within `timeoutMs`.
    bool Start(int port, int timeoutMs = 30000);
    // SIGKILL: no clean-up of any kind, as a crash or the OOM killer.
    void Kill();
    // SIGTERM and a wait for the clean end; SIGKILL after `timeoutMs`.
    // True when it ended cleanly with status 0.
    bool Stop(int timeoutMs = 20000);

    int Port() const { return m_port; }
    qint64 Pid() const;
    // Resident memory now and at its peak, in KiB; 0 when not running.
    long ResidentKb() const;
    long PeakResidentKb() const;
    // CPU seconds the process has used (user + system).
    double CpuSeconds() const;

private:
    long StatusField(const char* name) const;

    QString m_program;
    QStringList m_arguments;
    QString m_logFile;
    std::unique_ptr<QProcess> m_process;
    int m_port = 0;
};
