#pragma once

#include <QString>
#include <QStringList>

// The interface language, chosen once at start-up by InitLanguage and only
// read afterwards (no lock: it is written before any worker thread exists).
extern QString LanguagesFolder;   // executable folder + "Languages", no trailing separator
extern QStringList LanguageFiles; // names of the "*lang.txt" files found there
extern QString CurrentLanguage;   // language name of the loaded file, or empty
extern QString LanguageFilePath;  // full path of the loaded file, or empty

// Chooses and loads the interface language. `preferred` is a language file
// name (German.lang.txt); when blank, the file that LanguageCodes.csv names for
// the user's interface language is taken. A chosen file that cannot be read or
// is not valid UTF-8 leaves the program in English; LanguageLoadError() says why.
void InitLanguage(const QString& preferred);

// Appends the name of every language file directly in `folder` to LanguageFiles.
void FindLanguageFiles(const QString& folder);

// The translation of an English text in the loaded language, or the text itself.
QString Translate(const QString& text);

// Empty unless the last InitLanguage found its chosen file unusable.
QString LanguageLoadError();

// Tests point InitLanguage at another folder than the executable's; an empty
// folder restores the executable's.
void SetLanguageBaseFolderForTesting(const QString& folder);
