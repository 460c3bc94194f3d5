#include "translation/RestartScript.h"

#include <QFile>
#include <QOperatingSystemVersion>
#include <QProcess>
#include <QSaveFile>
#include <QStringEncoder>
#include <stdexcept>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

QString RestartScriptName() {
#ifdef Q_OS_WIN
    return QStringLiteral("start.bat");
#else
    return QStringLiteral("start.sh");
#endif
}

QString RestartScriptPath(const QString& dataFolder) {
    QString folder = dataFolder;
    if (!folder.endsWith(u'/') && !folder.endsWith(u'\\')) {
        folder += u'/';
    }
    return folder + RestartScriptName();
}

QString ShellQuote(const QString& text) {
    QString quoted = text;
    quoted.replace(u'\'', QStringLiteral("'\\''"));
    return u'\'' + quoted + u'\'';
}

QStringList ShellRestartLines(const QString& executable) {
    return {
        QStringLiteral("#!/bin/sh"),
        QStringLiteral("# This file was created automatically to restart the program."),
        QStringLiteral("# It is safe to delete this file."),
        QStringLiteral("sleep 1"),
        QStringLiteral("exec ") + ShellQuote(executable),
    };
}

QStringList BatchRestartLines(const QString& executable, int windowsMajorVersion) {
    QStringList lines{
        QStringLiteral("@ECHO OFF"),
        QStringLiteral("ECHO This file was created automatically to restart the program."),
        QStringLiteral("ECHO It is safe to delete this file."),
    };
    if (windowsMajorVersion >= 6) {
        lines.append(QStringLiteral("timeout 1"));
    }
    lines.append(u'"' + executable + u'"');
    return lines;
}

QByteArray RestartScriptBytes(const QString& executable) {
#ifdef Q_OS_WIN
    const QStringList lines =
        BatchRestartLines(executable, QOperatingSystemVersion::current().majorVersion());
    QStringEncoder encoder(QStringEncoder::System);
    return encoder.encode(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
#else
    return (ShellRestartLines(executable).join(u'\n') + u'\n').toUtf8();
#endif
}

void WriteRestartScript(const QString& path, const QString& executable) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(RestartScriptBytes(executable)) < 0 ||
        !file.commit()) {
        throw std::runtime_error(
            QStringLiteral("Cannot write \"%1\": %2").arg(path, file.errorString()).toStdString());
    }
}

bool StartRestartScript(const QString& scriptPath, const QString& workingFolder) {
#ifdef Q_OS_WIN
    QProcess process;
    process.setProgram(QStringLiteral("cmd.exe"));
    process.setArguments({QStringLiteral("/c"), scriptPath});
    process.setWorkingDirectory(workingFolder);
    process.setCreateProcessArgumentsModifier(
        [](QProcess::CreateProcessArguments* arguments) { arguments->flags |= CREATE_NO_WINDOW; });
    return process.startDetached();
#else
    return QProcess::startDetached(QStringLiteral("/bin/sh"), {scriptPath}, workingFolder);
#endif
}
