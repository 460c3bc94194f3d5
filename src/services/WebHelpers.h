#pragma once

#include <QString>

// What stands between "<tag>" at the very start of `line` and "</tag>" at its
// very end, the tag taken in lower case; the empty text when the line is not
// exactly one such element.
QString ExtractTagValue(const QString& line, const QString& tag);

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

// The vendor web server's host: the build setting, unless the environment
// variable KORVANE_VENDOR_HOST names another (a test or staging server).
QString VendorHost();

// True only for an absolute http or https URL with a host: the only kind of
// address from the network that may be handed to the desktop to open.
bool IsWebAddress(const QString& address);
