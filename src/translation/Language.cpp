#include "translation/Language.h"

#include "common/Trim.h"
#include "platform/UserLanguage.h"
#include "translation/LanguageFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <stdexcept>

QString LanguagesFolder;
QStringList LanguageFiles;
QString CurrentLanguage;
QString LanguageFilePath;

namespace {

QStringList LanguageStrings; // the loaded file's lines, in file order
QString LoadError;
QString BaseFolderForTesting;

QString ExecutableFolder() {
    return BaseFolderForTesting.isEmpty() ? QCoreApplication::applicationDirPath()
                                          : BaseFolderForTesting;
}

// The file that LanguageCodes.csv names for the user's interface language,
// written as the folder writes it; empty when there is none.
QString AutomaticChoice() {
    const QString codesPath = LanguagesFolder + QStringLiteral("/LanguageCodes.csv");
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
    for (const QString& file : LanguageFiles) {
        if (file.toLower() == lowerWanted)
            return file;
    }
    return {};
}

// A preferred name stays inside the language folder, and finds its file
// whatever the letter case, as on a case-insensitive file system.
QString ResolvePreferred(const QString& preferred) {
    if (preferred.contains(u'/') || preferred.contains(u'\\'))
        return {};
    const QString lower = preferred.toLower();
    for (const QString& file : LanguageFiles) {
        if (file.toLower() == lower)
            return file;
    }
    return preferred;
}

} // namespace

void FindLanguageFiles(const QString& folder) {
    // Name filters match without regard to case, as on Windows.
    QStringList names = QDir(folder).entryList({QStringLiteral("*lang.txt")},
                                               QDir::Files | QDir::NoDotAndDotDot, QDir::Unsorted);
    // Directory order is arbitrary on Linux; sort as NTFS lists names, so the
    // choice between german.lang.txt and German.lang.txt is repeatable.
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int folded = a.compare(b, Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : a < b;
    });
    LanguageFiles.append(names);
}

void InitLanguage(const QString& preferred) {
    LanguagesFolder = QDir(ExecutableFolder()).filePath(QStringLiteral("Languages"));
    LanguageFiles = QStringList();
    CurrentLanguage.clear();
    LanguageFilePath.clear();
    LanguageStrings.clear();
    LoadError.clear();

    if (!QFileInfo(LanguagesFolder).isDir())
        return;
    FindLanguageFiles(LanguagesFolder);

    const QString name =
        TrimControl(preferred).isEmpty() ? AutomaticChoice() : ResolvePreferred(preferred);
    if (name.isEmpty())
        return;
    const QString path = LanguagesFolder + u'/' + name;
    if (!QFileInfo(path).isFile())
        return;

    // Set the state only once the file has loaded: a file that cannot be used
    // leaves the program wholly in English.
    try {
        LanguageStrings = ReadLanguageFileLines(path);
    } catch (const std::runtime_error& error) {
        LoadError = QString::fromUtf8(error.what());
        return;
    }
    CurrentLanguage = LanguageNameOfFile(name);
    LanguageFilePath = path;
}

QString Translate(const QString& text) {
    if (LanguageFilePath.isEmpty())
        return text;
    const std::optional<QString> translation = FindTranslationEntry(text, LanguageStrings);
    return translation && !translation->isEmpty() ? *translation : text;
}

QString LanguageLoadError() {
    return LoadError;
}

void SetLanguageBaseFolderForTesting(const QString& folder) {
    BaseFolderForTesting = folder;
}
