#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

// Splits text into lines at CR LF, LF or CR. A line break at the very end
// does not start another line.
QStringList SplitTextLines(QStringView text);

// Reads a language file as UTF-8 (a leading byte-order mark skipped) into its
// lines. Throws std::runtime_error naming the file when it cannot be read or
// holds bytes that are not valid UTF-8.
QStringList ReadLanguageFileLines(const QString& path);

// Reads "LanguageCodes.csv" into lines: UTF-8 or UTF-16 when the bytes start
// with that byte-order mark, otherwise text in the locale's encoding. A file
// that cannot be read gives no lines.
QStringList ReadLanguageCodesLines(const QString& path);
QString DecodeLanguageCodes(const QByteArray& bytes);

// The translation of `text` in `lines`: the rest of the first line that begins
// with "{" + text + "}", also when empty; nullopt when no line does.
std::optional<QString> FindTranslationEntry(const QString& text, const QStringList& lines);

// As the language dialog reads credits: the entry's translation (empty stays
// empty), or `text` when there is no entry.
QString LookupTranslation(const QString& text, const QStringList& lines);

// The language name of a file name: the part before the first ".lang.txt"
// (exactly that case), empty when there is none. German.lang.txt gives German.
QString LanguageNameOfFile(const QString& fileName);
