#include "LanguageFolder.h"
#include "translation/Language.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

const QByteArray kGerman = "{OK}Einverstanden\n{Language}Sprache\n";
const QByteArray kFrench = "{OK}D'accord\n{Language}Langue\n";

QByteArray Utf16(const QString& text, QStringConverter::Encoding encoding) {
    QStringEncoder encoder(encoding, QStringConverter::Flag::WriteBom);
    return encoder.encode(text);
}

} // namespace

TEST(InitLanguage, NoFolderLeavesEnglishAndAnEmptyList) {
    LanguageFolder folder;
    const LanguageState language = folder.init(QString());
    EXPECT_EQ(language.LanguagesFolder, folder.base() + QStringLiteral("/Languages"));
    EXPECT_TRUE(language.LanguageFiles.isEmpty());
    EXPECT_TRUE(language.CurrentLanguage.isEmpty());
    EXPECT_TRUE(language.LanguageFilePath.isEmpty());
    EXPECT_TRUE(language.LoadError.isEmpty());
    EXPECT_EQ(Translate(language, QStringLiteral("OK")), QStringLiteral("OK"));
}

TEST(InitLanguage, FindsLanguageFilesOnlyDirectlyInTheFolder) {
    LanguageFolder folder;
    folder.write(QStringLiteral("German.lang.txt"), kGerman);
    folder.write(QStringLiteral("french.LANG.TXT"), kFrench);
    folder.write(QStringLiteral("Notes.txt"), "x");
    folder.write(QStringLiteral("Oldlang.txt"), "x");
    folder.write(QStringLiteral("LanguageCodes.csv"), "");
    QDir(folder.languages()).mkpath(QStringLiteral("Sub.lang.txt"));
    QDir(folder.languages()).mkpath(QStringLiteral("Nested"));
    folder.write(QStringLiteral("Nested/Italian.lang.txt"), "x");
    EXPECT_EQ(folder.init(QString()).LanguageFiles,
              (QStringList{QStringLiteral("french.LANG.TXT"), QStringLiteral("German.lang.txt"),
                           QStringLiteral("Oldlang.txt")}));
}

TEST(InitLanguage, AutomaticAndPreferredChoices) {
    struct Case {
        const char* name;
        QList<QPair<QString, QByteArray>> files;
        QByteArray locale;
        QString preferred;
        QString loadedFile; // empty: nothing loaded
        QString language;   // CurrentLanguage
        QString ok;         // Translate("OK")
    };
    const QString german = QStringLiteral("German.lang.txt");
    const QString french = QStringLiteral("French.lang.txt");
    const QString codes = QStringLiteral("LanguageCodes.csv");
    const QString csv = QStringLiteral("1036,French.lang.txt\n1031,German.lang.txt\n");
    const Case cases[] = {
        {"locale picks its file",
         {{german, kGerman}, {french, kFrench}, {codes, csv.toUtf8()}},
         "de_DE.UTF-8",
         "",
         german,
         "German",
         "Einverstanden"},
        {"another locale, another file",
         {{german, kGerman}, {french, kFrench}, {codes, csv.toUtf8()}},
         "fr_FR.UTF-8",
         "",
         french,
         "French",
         "D'accord"},
        {"no line for the identifier",
         {{german, kGerman}, {codes, csv.toUtf8()}},
         "it_IT.UTF-8",
         "",
         "",
         "",
         "OK"},
        {"no LanguageCodes.csv", {{german, kGerman}}, "de_DE.UTF-8", "", "", "", "OK"},
        {"identifier on two lines: the first wins even when its file is missing",
         {{german, kGerman}, {codes, "1031,Missing.lang.txt\n1031,German.lang.txt\n"}},
         "de_DE.UTF-8",
         "",
         "",
         "",
         "OK"},
        {"file name matched without regard to case",
         {{german, kGerman}, {codes, "1031,german.lang.txt\n"}},
         "de_DE.UTF-8",
         "",
         german,
         "German",
         "Einverstanden"},
        {"German.LANG.txt loads with an empty language name",
         {{"German.LANG.txt", kGerman}, {codes, "1031,German.LANG.txt\n"}},
         "de_DE.UTF-8",
         "",
         "German.LANG.txt",
         "",
         "Einverstanden"},
        {"preferred name wins over the automatic choice",
         {{german, kGerman}, {french, kFrench}, {codes, csv.toUtf8()}},
         "de_DE.UTF-8",
         french,
         french,
         "French",
         "D'accord"},
        {"preferred name found whatever its case",
         {{german, kGerman}},
         "C",
         "GERMAN.lang.txt",
         german,
         "German",
         "Einverstanden"},
        {"blank preferred name means the automatic choice",
         {{german, kGerman}, {codes, csv.toUtf8()}},
         "de_DE.UTF-8",
         " \t",
         german,
         "German",
         "Einverstanden"},
        {"preferred name of a missing file",
         {{german, kGerman}, {codes, csv.toUtf8()}},
         "de_DE.UTF-8",
         "Klingon.lang.txt",
         "",
         "",
         "OK"},
        {"preferred name may not leave the folder",
         {{german, kGerman}},
         "C",
         "../Languages/German.lang.txt",
         "",
         "",
         "OK"},
        {"fields trimmed, lines without comma and headers skipped",
         {{german, kGerman},
          {codes, "identifier,file\r\n\r\nno comma here\r\n \t1031 ,\tGerman.lang.txt \r\n"}},
         "de_DE.UTF-8",
         "",
         german,
         "German",
         "Einverstanden"},
        {"identifier compared as written",
         {{german, kGerman}, {codes, "01031,German.lang.txt\n"}},
         "de_DE.UTF-8",
         "",
         "",
         "",
         "OK"},
        {"UTF-8 byte-order mark",
         {{german, kGerman},
          {codes, "\xEF\xBB\xBF"
                  "1031,German.lang.txt"}},
         "de_DE.UTF-8",
         "",
         german,
         "German",
         "Einverstanden"},
        {"UTF-16 little-endian",
         {{german, kGerman},
          {codes, Utf16(QStringLiteral("1031,German.lang.txt\r\n"), QStringConverter::Utf16LE)}},
         "de_DE.UTF-8",
         "",
         german,
         "German",
         "Einverstanden"},
        {"UTF-16 big-endian",
         {{german, kGerman},
          {codes, Utf16(QStringLiteral("1031,German.lang.txt\r\n"), QStringConverter::Utf16BE)}},
         "de_DE.UTF-8",
         "",
         german,
         "German",
         "Einverstanden"},
        {"C locale is US English",
         {{german, kGerman}, {codes, "1033,German.lang.txt\n"}},
         "C",
         "",
         german,
         "German",
         "Einverstanden"},
    };
    for (const Case& c : cases) {
        LanguageFolder folder;
        for (const auto& [name, bytes] : c.files)
            folder.write(name, bytes);
        folder.setLocale(c.locale);
        const LanguageState language = folder.init(c.preferred);
        const QString expectedPath =
            c.loadedFile.isEmpty() ? QString() : folder.languages() + u'/' + c.loadedFile;
        EXPECT_EQ(language.LanguageFilePath, expectedPath) << c.name;
        EXPECT_EQ(language.CurrentLanguage, c.language) << c.name;
        EXPECT_EQ(Translate(language, QStringLiteral("OK")), c.ok) << c.name;
        EXPECT_TRUE(language.LoadError.isEmpty()) << c.name;
    }
}

TEST(InitLanguage, UnusableChosenFileKeepsEnglishAndTellsWhy) {
    const std::pair<const char*, QByteArray> cases[] = {
        {"stray continuation byte", "{OK}Tamam\n{Yes}\x80vet\n"},
        {"Latin-1 text", "{Yes}Sp\xE4ter\n"},
        {"sequence cut off at the end", "{OK}Tamam\n{Yes}\xC4"},
        {"encoded surrogate", "{OK}\xED\xA0\x80\n"},
        {"overlong encoding", "{OK}\xC0\xAF\n"},
    };
    for (const auto& [name, bytes] : cases) {
        LanguageFolder folder;
        const QString path = folder.write(QStringLiteral("Turkish.lang.txt"), bytes);
        folder.write(QStringLiteral("LanguageCodes.csv"), "1055,Turkish.lang.txt\n");
        folder.setLocale("tr_TR.UTF-8");
        const LanguageState language = folder.init(QString());
        EXPECT_TRUE(language.LanguageFilePath.isEmpty()) << name;
        EXPECT_TRUE(language.CurrentLanguage.isEmpty()) << name;
        EXPECT_EQ(Translate(language, QStringLiteral("OK")), QStringLiteral("OK")) << name;
        EXPECT_EQ(language.LanguageFiles, QStringList{QStringLiteral("Turkish.lang.txt")}) << name;
        EXPECT_TRUE(language.LoadError.contains(path)) << name;
        EXPECT_TRUE(language.LoadError.contains(QStringLiteral("UTF-8"))) << name;
    }

    // A good file afterwards clears the error.
    LanguageFolder folder;
    folder.write(QStringLiteral("Turkish.lang.txt"), "{OK}Tamam\n");
    const LanguageState good = folder.init(QStringLiteral("Turkish.lang.txt"));
    EXPECT_TRUE(good.LoadError.isEmpty());
    EXPECT_EQ(Translate(good, QStringLiteral("OK")), QStringLiteral("Tamam"));
}

TEST(InitLanguage, UnreadableChosenFileKeepsEnglishAndTellsWhy) {
    // A file that exists but whose reading fails, for any user: the kernel
    // refuses reads of a process's memory at address 0.
    LanguageFolder folder;
    folder.createLanguages();
    const QString path = folder.languages() + QStringLiteral("/Turkish.lang.txt");
    ASSERT_TRUE(QFile::link(QStringLiteral("/proc/self/mem"), path));
    const LanguageState language = folder.init(QStringLiteral("Turkish.lang.txt"));
    EXPECT_TRUE(language.LanguageFilePath.isEmpty());
    EXPECT_TRUE(language.CurrentLanguage.isEmpty());
    EXPECT_EQ(Translate(language, QStringLiteral("OK")), QStringLiteral("OK"));
    EXPECT_TRUE(language.LoadError.contains(path)) << language.LoadError.toStdString();
    EXPECT_TRUE(language.LoadError.startsWith(QStringLiteral("Cannot read")));
}

TEST(InitLanguage, FileWithoutReadPermissionKeepsEnglish) {
    LanguageFolder folder;
    const QString path = folder.write(QStringLiteral("Turkish.lang.txt"), "{OK}Tamam\n");
    QFile::setPermissions(path, QFileDevice::Permissions{});
    if (QFile file(path); file.open(QIODevice::ReadOnly))
        GTEST_SKIP() << "permissions do not keep this user from reading";
    const LanguageState language = folder.init(QStringLiteral("Turkish.lang.txt"));
    EXPECT_TRUE(language.LanguageFilePath.isEmpty());
    EXPECT_EQ(Translate(language, QStringLiteral("OK")), QStringLiteral("OK"));
    EXPECT_TRUE(language.LoadError.contains(path));
}
