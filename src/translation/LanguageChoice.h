#pragma once

#include <QString>
#include <QStringList>

// The name of the flag picture the language dialog draws beside a language
// name; "xx", the generic flag, for every name it does not know.
QString FlagImageName(const QString& languageName);

// The entries of the language dialog's list: the built-in "English" and the
// language name of every file, sorted as the list keeps them (letter case
// aside first, then exactly). A file English.lang.txt adds a second "English".
QStringList LanguageDialogItems(const QStringList& languageFiles);

// Inserts `item` where it belongs in the sorted `items`, after equal ones.
qsizetype InsertSorted(QStringList& items, const QString& item);

// The translators of a language as the dialog shows them: "Quiblex" for the
// built-in English, otherwise the "INFO:Translated By" entry of
// <folder>/<name>.lang.txt (its key when the file has no such entry). A file
// that cannot be read gives the empty text.
QString LanguageCredit(const QString& languagesFolder, const QString& name);

// One line per comma-separated piece of a credit, each trimmed; empty pieces
// stay as empty lines.
QStringList CreditLines(const QString& credit);
