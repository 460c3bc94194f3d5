#pragma once

#include <QString>
#include <QStringList>

// The interface language of one run: chosen once at start-up by InitLanguage
// and only read afterwards (no lock: it is made before any worker thread).
struct LanguageState {
    QString LanguagesFolder;   // program folder + "Languages", no trailing separator
    QStringList LanguageFiles; // names of the "*lang.txt" files found there
    QString CurrentLanguage;   // language name of the loaded file, or empty
    QString LanguageFilePath;  // full path of the loaded file, or empty
    QStringList Strings;       // the loaded file's lines, in file order
    QString LoadError;         // empty unless the chosen file was unusable
};

// Chooses and loads the interface language from `programFolder`/Languages.
// `preferred` is a language file name (German.lang.txt); when blank, the file
// that LanguageCodes.csv names for the user's interface language is taken. A
// chosen file that cannot be read or is not valid UTF-8 leaves the program in
// English, and LoadError says why.
LanguageState InitLanguage(const QString& programFolder, const QString& preferred);

// The names of the language files directly in `folder`.
QStringList FindLanguageFiles(const QString& folder);

// The translation of an English text in `language`, or the text itself.
QString Translate(const LanguageState& language, const QString& text);

// The same in the installed language (below); the text itself when none is.
QString Translate(const QString& text);

// Makes a language the one Translate(text) uses while this object lives; the
// one installed before (or none) comes back afterwards. main() installs the
// run's language before the first window opens.
class InstalledLanguage {
public:
    explicit InstalledLanguage(LanguageState language);
    ~InstalledLanguage();
    InstalledLanguage(const InstalledLanguage&) = delete;
    InstalledLanguage& operator=(const InstalledLanguage&) = delete;

    const LanguageState& language() const { return m_language; }

private:
    LanguageState m_language;
    const LanguageState* m_previous;
};
