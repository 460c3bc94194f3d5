#pragma once

#include <QSettings>
#include <QString>
#include <memory>

// True when `bytes` are valid UTF-8 throughout (a byte-order mark is allowed).
bool IsStrictUtf8(const QByteArray& bytes);

// Opens the program's INI store on `path`. A file that cannot be read or is
// not valid UTF-8 is deleted first and the store starts empty. It keeps the
// language chosen in the language dialog and the spectrum panel's options.
std::unique_ptr<QSettings> OpenSettingsIni(const QString& path);

// Whether the spectrum panel draws its kHz scale and cutoff line (off until
// the user turns it on); stored at once, so a crash does not forget it.
bool StoredScaleAndCutoff(const QSettings& settings);
void StoreScaleAndCutoff(QSettings& settings, bool shown);
