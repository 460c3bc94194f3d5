#pragma once

#include <QString>

// What stands between "<tag>" at the very start of `line` and "</tag>" at its
// very end, the tag taken in lower case; the empty text when the line is not
// exactly one such element.
QString ExtractTagValue(const QString& line, const QString& tag);

// The vendor web server's host: the build setting, unless the environment
// variable KORVANE_VENDOR_HOST names another (a test or staging server).
QString VendorHost();

// True only for an absolute http or https URL with a host: the only kind of
// address from the network that may be handed to the desktop to open.
bool IsWebAddress(const QString& address);
