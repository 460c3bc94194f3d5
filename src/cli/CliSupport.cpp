#include "cli/CliSupport.h"

#include "cli/CheckCommand.h"
#include "cli/TerminalText.h"

#include <unistd.h>

void PrintText(std::FILE* stream, const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream);
    std::fflush(stream);
}

int UsageError(const QString& message) {
    PrintText(
        stderr,
        QStringLiteral("korvane-cli: %1\nTry 'korvane-cli --help'.\n").arg(TerminalText(message)));
    return kExitUsage;
}

Progress::Progress() : m_enabled(::isatty(STDERR_FILENO) != 0) {}

Progress::~Progress() {
    clear();
}

void Progress::show(const QString& text) {
    if (!m_enabled)
        return;
    // The line is rewritten in place; only our own control sequence may move the cursor.
    PrintText(stderr, QStringLiteral("\r\x1b[K") + TerminalText(text) + QStringLiteral("..."));
    m_visible = true;
}

void Progress::clear() {
    if (m_visible)
        PrintText(stderr, QStringLiteral("\r\x1b[K"));
    m_visible = false;
}
