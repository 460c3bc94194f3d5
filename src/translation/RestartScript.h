#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The small script that starts the program again after a language change:
// it waits a second, so that the ending instance is gone, and then starts the
// executable. "start.sh" for /bin/sh here, "start.bat" on Windows.
QString RestartScriptName();

// DataFolder with a trailing separator ensured, followed by the script's name.
QString RestartScriptPath(const QString& dataFolder);

// `text` as one word for /bin/sh: in single quotes, each quote inside written
// as '\'' so that blanks, quotes, "$" and backquotes stay literal.
QString ShellQuote(const QString& text);

// The lines of start.sh for `executable`.
QStringList ShellRestartLines(const QString& executable);

// The lines of start.bat for `executable`; "timeout 1" only on Windows 6
// (Vista) and later, which has that command.
QStringList BatchRestartLines(const QString& executable, int windowsMajorVersion);

// The script's bytes as written: sh lines end in LF and are UTF-8; batch lines
// end in CR LF and are in the system's ANSI code page.
QByteArray RestartScriptBytes(const QString& executable);

// Writes the script for `executable` to `path`, replacing any file there.
// Throws std::runtime_error naming the file when it cannot be written.
void WriteRestartScript(const QString& path, const QString& executable);

// Starts the script detached from this process, in `workingFolder`: with
// /bin/sh here (the path is handed over as an argument of its own, never
// parsed by a shell), hidden through cmd on Windows. False when it could not
// be started.
bool StartRestartScript(const QString& scriptPath, const QString& workingFolder);
