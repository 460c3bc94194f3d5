#include "LanguageFolder.h"
#include "translation/Language.h"
#include "translation/LanguageFile.h"

#include <gtest/gtest.h>

TEST(Translate, ReturnsTheTextWhenNoLanguageIsLoaded) {
    LanguageFolder folder; // no Languages/ folder at all
    const LanguageState language = folder.init(QString());
    EXPECT_TRUE(language.LanguageFilePath.isEmpty());
    EXPECT_EQ(Translate(language, QStringLiteral("OK")), QStringLiteral("OK"));
    EXPECT_EQ(Translate(language, QString()), QString());
    // Nothing installed: the same.
    EXPECT_EQ(Translate(QStringLiteral("OK")), QStringLiteral("OK"));
}

TEST(Translate, TheInstalledLanguageUntilItsInstallationEnds) {
    LanguageFolder folder;
    folder.write(QStringLiteral("Turkish.lang.txt"), "{OK}Tamam\n");
    folder.write(QStringLiteral("German.lang.txt"), "{OK}Einverstanden\n");
    {
        const InstalledLanguage turkish(folder.init(QStringLiteral("Turkish.lang.txt")));
        EXPECT_EQ(Translate(QStringLiteral("OK")), QStringLiteral("Tamam"));
        {
            const InstalledLanguage german(folder.init(QStringLiteral("German.lang.txt")));
            EXPECT_EQ(Translate(QStringLiteral("OK")), QStringLiteral("Einverstanden"));
        }
        EXPECT_EQ(Translate(QStringLiteral("OK")), QStringLiteral("Tamam"));
    }
    EXPECT_EQ(Translate(QStringLiteral("OK")), QStringLiteral("OK"));
}

TEST(Translate, Cases) {
    struct Case {
        const char* name;
        QByteArray file;
        QString text;
        QString expected;
    };
    const Case cases[] = {
        {"entry found", "{Yes}Evet\n{OK}Tamam\n", "OK", "Tamam"},
        {"first entry wins", "{OK}Tamam\n{OK}Peki\n", "OK", "Tamam"},
        {"empty translation gives the text and stops", "{OK}\n{OK}Tamam\n", "OK", "OK"},
        {"leading blank kept", "{OK} Tamam\n", "OK", " Tamam"},
        {"trailing blank kept", "{OK}Tamam \n", "OK", "Tamam "},
        {"keys are case-sensitive", "{Ok}Tamam\n", "OK", "OK"},
        {"blank before the brace never matches", " {OK}Tamam\n", "OK", "OK"},
        {"byte-order mark skipped", "\xEF\xBB\xBF{OK}Tamam\n", "OK", "Tamam"},
        {"CR line ends", "{Yes}Evet\r{OK}Tamam\r{No}Hay\xC4\xB1r", "OK", "Tamam"},
        {"LF line ends", "{Yes}Evet\n{OK}Tamam\n{No}Hay\xC4\xB1r", "OK", "Tamam"},
        {"CR LF line ends", "{Yes}Evet\r\n{OK}Tamam\r\n{No}Hay\xC4\xB1r", "OK", "Tamam"},
        {"mixed line ends", "{Yes}Evet\r{No}Hay\xC4\xB1r\r\n{OK}Tamam\n", "No", "Hay\xC4\xB1r"},
        {"last line without line end", "{Yes}Evet\n{OK}Tamam", "OK", "Tamam"},
        {"braces in the translation", "{OK}{Ta}mam}\n", "OK", "{Ta}mam}"},
        {"placeholder kept", "{About %s}%s Hakk\xC4\xB1nda\n", "About %s", "%s Hakk\xC4\xB1nda"},
        {"text not in the file", "{OK}Tamam\n", "Cancel", "Cancel"},
        {"prefix of a key is not the key", "{OK}Tamam\n", "O", "O"},
        {"brace inside the English text", "{a}b}X\n", "a}b", "X"},
        {"notes and blank lines ignored", "Turkish\n\n;{OK}x\n{OK}Tamam\n", "OK", "Tamam"},
    };
    for (const Case& c : cases) {
        LanguageFolder folder;
        folder.write(QStringLiteral("Test.lang.txt"), c.file);
        const LanguageState language = folder.init(QStringLiteral("Test.lang.txt"));
        ASSERT_FALSE(language.LanguageFilePath.isEmpty()) << c.name;
        EXPECT_EQ(Translate(language, c.text), c.expected) << c.name;
    }
}

TEST(LookupTranslation, EmptyStaysEmptyMissingGivesTheKey) {
    const QStringList lines = {QStringLiteral("{INFO:Translated By}"), QStringLiteral("{OK}Tamam"),
                               QStringLiteral("{Yes}Evet")};
    EXPECT_EQ(LookupTranslation(QStringLiteral("INFO:Translated By"), lines), QString());
    EXPECT_EQ(LookupTranslation(QStringLiteral("Yes"), lines), QStringLiteral("Evet"));
    EXPECT_EQ(LookupTranslation(QStringLiteral("No"), lines), QStringLiteral("No"));
    EXPECT_EQ(LookupTranslation(QStringLiteral("OK"), {}), QStringLiteral("OK"));
}

TEST(SplitTextLines, LineEnds) {
    const std::pair<QString, QStringList> cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\n", {"a"}},
        {"a\r\nb", {"a", "b"}},
        {"a\rb\r", {"a", "b"}},
        {"a\n\rb", {"a", "", "b"}},
        {"\n\n", {"", ""}},
        {"a\r\n\r\nb", {"a", "", "b"}},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(SplitTextLines(text), expected) << text.toStdString();
}

TEST(LanguageNameOfFile, PartBeforeTheExactSuffix) {
    const std::pair<const char*, const char*> cases[] = {
        {"German.lang.txt", "German"},
        {"German.LANG.txt", ""},
        {"Germanlang.txt", ""},
        {"Pt.lang.txt.lang.txt", "Pt"},
        {".lang.txt", ""},
        {"ChineseSimplified.lang.txt", "ChineseSimplified"},
    };
    for (const auto& [file, name] : cases)
        EXPECT_EQ(LanguageNameOfFile(QString::fromUtf8(file)), QString::fromUtf8(name)) << file;
}
