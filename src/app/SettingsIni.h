#pragma once

#include <QSettings>
#include <QString>
#include <memory>

// True when `bytes` are valid UTF-8 throughout (a byte-order mark is allowed).
bool IsStrictUtf8(const QByteArray& bytes);

// Opens the program's INI store on `path`. A file that cannot be read or is
// not valid UTF-8 is deleted first and the store starts empty. Only the
// language chosen in the language dialog is ever written to it.
std::unique_ptr<QSettings> OpenSettingsIni(const QString& path);
