#pragma once

#include <QString>
#include <cstdio>

void PrintText(std::FILE* stream, const QString& text);

// Prints "korvane-cli: <message>" and a pointer to --help on stderr; returns
// the bad-usage exit status. The message is shown as TerminalText.
int UsageError(const QString& message);

// A one-line progress display on stderr, shown only when stderr is a
// terminal; cleared before anything else is printed. Its text is shown as
// TerminalText.
class Progress {
public:
    Progress();
    ~Progress();
    void show(const QString& text);
    void clear();

private:
    bool m_enabled = false;
    bool m_visible = false;
};
