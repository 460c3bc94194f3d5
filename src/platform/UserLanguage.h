#pragma once

#include <QProcessEnvironment>
#include <QString>

// Windows language identifiers (LANGID) used where the locale says nothing or
// names a language that has no identifier of its own.
inline constexpr quint16 kLangIdEnglishUS = 0x0409;
inline constexpr quint16 kLangIdCustomUnspecified = 0x1000;

// The user's interface language as a Windows language identifier: the first
// of LANGUAGE (its first entry), LC_ALL, LC_MESSAGES and LANG that is set,
// mapped by a table. Reads the process environment unless one is passed.
quint16 UserDefaultUILanguage();
quint16 UserDefaultUILanguage(const QProcessEnvironment& environment);

// Maps a POSIX locale name ("de_AT.UTF-8", "sr_RS@latin", "pt", "C") to a
// Windows language identifier. C, POSIX and names that are no language give
// US English; a language the table lacks gives kLangIdCustomUnspecified.
quint16 LanguageIdForLocaleName(const QString& name);
