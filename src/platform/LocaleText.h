#pragma once

#include <QByteArray>
#include <QString>

// Decodes 8-bit text in the encoding of the user's locale (the system's ANSI
// code page on Windows), or in `codeset` when one is named. An encoding the
// converter does not know falls back to UTF-8.
QString DecodeLocaleText(const QByteArray& bytes, const char* codeset = nullptr);
