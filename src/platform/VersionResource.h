#pragma once

#include <QByteArray>
#include <QString>

// The version block that the build placed in an executable file: on Linux the
// contents of the ELF section KORVANE_VERSION_SECTION (a Windows build would
// ask GetFileVersionInfoW for the same bytes). Throws std::runtime_error with
// a message naming the file when it cannot be read or carries no block.
QByteArray ReadVersionResource(const QString& file);
