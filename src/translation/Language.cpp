#include "translation/Language.h"

#include "common/Trim.h"
#include "platform/UserLanguage.h"
#include "translation/LanguageFile.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <atomic>
#include <stdexcept>

namespace {

// The language Translate(text) reads: installed before the first window opens,
// then only read, from any thread.
std::atomic<const LanguageState*> Installed{nullptr};

// The file that LanguageCodes.csv names for the user's interface language,
// written as the folder writes it; empty when there is none.
QString AutomaticChoice(const LanguageState& state) {
    const QString codesPath = state.LanguagesFolder + QStringLiteral("/LanguageCodes.csv");
    if (!QFileInfo(codesPath).isFile())
        return {};
    const QString id = QString::number(UserDefaultUILanguage());

    QString wanted;
    for (const QString& line : ReadLanguageCodesLines(codesPath)) {
        const qsizetype comma = line.indexOf(u',');
        if (comma < 0)
            continue;
        // The first line for the identifier counts, even if its file is missing.
        if (TrimControl(QStringView(line).left(comma)) == id) {
            wanted = TrimControl(QStringView(line).mid(comma + 1));
            break;
        }
    }
    if (wanted.isEmpty())
        return {};
    const QString lowerWanted = wanted.toLower();
    for (const QString& file : state.LanguageFiles) {
        if (file.toLower() == lowerWanted)
            return file;
    }
    return {};
}

// A preferred name stays inside the language folder, and finds its file
// whatever the letter case, as on a case-insensitive file system.
QString ResolvePreferred(const LanguageState& state, const QString& preferred) {
    if (preferred.contains(u'/') || preferred.contains(u'\\'))
        return {};
    const QString lower = preferred.toLower();
    for (const QString& file : state.LanguageFiles) {
        if (file.toLower() == lower)
            return file;
    }
    return preferred;
}

} // namespace

QStringList FindLanguageFiles(const QString& folder) {
    // Name filters match without regard to case, as on Windows.
    QStringList names = QDir(folder).entryList({QStringLiteral("*lang.txt")},
                                               QDir::Files | QDir::NoDotAndDotDot, QDir::Unsorted);
    // Directory order is arbitrary on Linux; sort as NTFS lists names, so the
    // choice between german.lang.txt and German.lang.txt is repeatable.
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int folded = a.compare(b, Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : a < b;
    });
    return names;
}

LanguageState InitLanguage(const QString& programFolder, const QString& preferred) {
    LanguageState state;
    state.LanguagesFolder = QDir(programFolder).filePath(QStringLiteral("Languages"));
    if (!QFileInfo(state.LanguagesFolder).isDir())
        return state;
    state.LanguageFiles = FindLanguageFiles(state.LanguagesFolder);

    const QString name = TrimControl(preferred).isEmpty() ? AutomaticChoice(state)
                                                          : ResolvePreferred(state, preferred);
    if (name.isEmpty())
        return state;
    const QString path = state.LanguagesFolder + u'/' + name;
    if (!QFileInfo(path).isFile())
        return state;

    // Set the language only once the file has loaded: a file that cannot be
    // used leaves the program wholly in English.
    try {
        state.Strings = ReadLanguageFileLines(path);
    } catch (const std::runtime_error& error) {
        state.LoadError = QString::fromUtf8(error.what());
        return state;
    }
    state.CurrentLanguage = LanguageNameOfFile(name);
    state.LanguageFilePath = path;
    return state;
}

QString Translate(const LanguageState& language, const QString& text) {
    if (language.LanguageFilePath.isEmpty())
        return text;
    const std::optional<QString> translation = FindTranslationEntry(text, language.Strings);
    return translation && !translation->isEmpty() ? *translation : text;
}

QString Translate(const QString& text) {
    const LanguageState* language = Installed.load(std::memory_order_acquire);
    return language ? Translate(*language, text) : text;
}

InstalledLanguage::InstalledLanguage(LanguageState language)
    : m_language(std::move(language)),
      m_previous(Installed.exchange(&m_language, std::memory_order_acq_rel)) {}

InstalledLanguage::~InstalledLanguage() {
    Installed.store(m_previous, std::memory_order_release);
}
