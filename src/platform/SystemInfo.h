#pragma once

#include <QString>

// The user's locale as "ll-CC" (for example "de-DE"); "xx" when the system
// names none (the C or POSIX locale).
QString UserLocaleName();

// A stable identifier of this installation in the shape of a GUID. On Linux
// the machine id is hashed with a key of our own, so the raw id never leaves
// the machine. Empty when the system offers no machine id.
QString ReadMachineGuid();

// The operating system as one line: product name, kernel version and word
// size, for example "Debian GNU/Linux 12 (bookworm) (Version 6.1, Build 0, 64-bit Edition)".
QString OsDescription();
