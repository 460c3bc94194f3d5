#pragma once

#include <QString>

// `text` as it may be shown on a terminal: every character that a terminal
// obeys rather than shows, or that reorders what is shown, is written as an
// escape, so a file name cannot move the cursor, clear the screen, change
// colours or the window title, or disguise itself. C0 controls and DEL
// become "\xHH"; C1 controls, the bidirectional marks and the line and
// paragraph separators "\uHHHH"; a backslash "\\", so the escapes stay
// unambiguous. Everything else is kept.
QString TerminalText(const QString& text);
