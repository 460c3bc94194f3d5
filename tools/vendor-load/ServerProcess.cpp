#include "ServerProcess.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>
#include <unistd.h>

ServerProcess::ServerProcess(QString program, QStringList arguments, QString logFile)
    : m_program(std::move(program)), m_arguments(std::move(arguments)),
      m_logFile(std::move(logFile)) {}

ServerProcess::~ServerProcess() {
    Stop();
}

bool ServerProcess::Start(int port, int timeoutMs) {
    Stop();
    m_port = 0;
    m_process = std::make_unique<QProcess>();
    m_process->setStandardErrorFile(m_logFile, QIODevice::Append);
    m_process->start(m_program,
                     QStringList{QStringLiteral("--http"), QString::number(port)} + m_arguments);
    static const QRegularExpression listening(QStringLiteral("^listening http://[^\\s]+:(\\d+)"));
    const QDeadlineTimer deadline(timeoutMs);
    while (m_port == 0 && !deadline.hasExpired() && m_process->state() != QProcess::NotRunning) {
        if (!m_process->canReadLine() && !m_process->waitForReadyRead(100)) {
            continue;
        }
        while (m_process->canReadLine()) {
            const QRegularExpressionMatch match =
                listening.match(QString::fromUtf8(m_process->readLine()));
            if (match.hasMatch()) {
                m_port = match.captured(1).toInt();
            }
        }
    }
    return m_port > 0;
}

void ServerProcess::Kill() {
    if (m_process && m_process->state() != QProcess::NotRunning) {
        m_process->kill();
        m_process->waitForFinished(10000);
    }
}

bool ServerProcess::Stop(int timeoutMs) {
    if (!m_process || m_process->state() == QProcess::NotRunning) {
        return false;
    }
    m_process->terminate();
    if (!m_process->waitForFinished(timeoutMs)) {
        m_process->kill();
        m_process->waitForFinished(5000);
        return false;
    }
    return m_process->exitStatus() == QProcess::NormalExit && m_process->exitCode() == 0;
}

qint64 ServerProcess::Pid() const {
    return m_process && m_process->state() == QProcess::Running ? m_process->processId() : 0;
}

long ServerProcess::StatusField(const char* name) const {
    const qint64 pid = Pid();
    if (pid == 0) {
        return 0;
    }
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) {
        return 0;
    }
    const QByteArray prefix = QByteArray(name) + ':';
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(prefix)) {
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLong();
        }
    }
    return 0;
}

long ServerProcess::ResidentKb() const {
    return StatusField("VmRSS");
}

long ServerProcess::PeakResidentKb() const {
    return StatusField("VmHWM");
}

double ServerProcess::CpuSeconds() const {
    const qint64 pid = Pid();
    if (pid == 0) {
        return 0;
    }
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) {
        return 0;
    }
    // Fields after the command name, which is in parentheses and may hold blanks.
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13) {
        return 0;
    }
    const double ticks = fields[11].toDouble() + fields[12].toDouble(); // utime, stime
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}
