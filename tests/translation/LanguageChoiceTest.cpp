// What the language dialog lists: sorted names, flags, translator credits.
#include "translation/LanguageChoice.h"

#include "LanguageFolder.h"

#include <gtest/gtest.h>

TEST(LanguageChoice, FlagTableMapsKnownNamesAndGivesTheGenericFlagOtherwise) {
    const QList<QPair<QString, QString>> cases{
        {QStringLiteral("English"), QStringLiteral("english")},
        {QStringLiteral("German"), QStringLiteral("de")},
        {QStringLiteral("PortugueseBrazil"), QStringLiteral("br")},
        {QStringLiteral("PortuguesePortugal"), QStringLiteral("pt")},
        {QStringLiteral("Hindi"), QStringLiteral("in")},
        {QStringLiteral("Norwegian"), QStringLiteral("no")},
        // In the table, but drawn with the generic flag.
        {QStringLiteral("Arabic"), QStringLiteral("xx")},
        {QStringLiteral("ChineseTraditional"), QStringLiteral("xx")},
        {QStringLiteral("Catalan"), QStringLiteral("xx")},
        // Not in the table: exact names only.
        {QStringLiteral("german"), QStringLiteral("xx")},
        {QStringLiteral("Klingon"), QStringLiteral("xx")},
        {QString(), QStringLiteral("xx")},
    };
    for (const auto& [name, flag] : cases) {
        EXPECT_EQ(FlagImageName(name), flag) << name.toStdString();
    }
}

TEST(LanguageChoice, ItemsAreSortedWithoutRegardToCaseAndKeepDuplicates) {
    const QStringList items =
        LanguageDialogItems({QStringLiteral("Turkish.lang.txt"), QStringLiteral("German.lang.txt"),
                             QStringLiteral("dutch.lang.txt"), QStringLiteral("English.lang.txt"),
                             QStringLiteral("French.LANG.txt")});
    EXPECT_EQ(items, QStringList({QString(), QStringLiteral("dutch"), QStringLiteral("English"),
                                  QStringLiteral("English"), QStringLiteral("German"),
                                  QStringLiteral("Turkish")}));
}

TEST(LanguageChoice, CreditPiecesBecomeTrimmedLinesEmptyOnesIncluded) {
    EXPECT_EQ(CreditLines(QStringLiteral(" Anna Schmidt,Bernd Maier ,, Carla Weiss\t")),
              QStringList({QStringLiteral("Anna Schmidt"), QStringLiteral("Bernd Maier"), QString(),
                           QStringLiteral("Carla Weiss")}));
    EXPECT_EQ(CreditLines(QString()), QStringList({QString()}));
}

TEST(LanguageChoice, CreditComesFromTheFileOrQuiblexForEnglish) {
    LanguageFolder folder;
    folder.write(QStringLiteral("German.lang.txt"),
                 "{OK}OK\n{INFO:Translated By}Anna Schmidt, Bernd Maier\n"
                 "{INFO:Translated By}Someone Else\n");
    folder.write(QStringLiteral("French.lang.txt"), "{OK}D'accord\n");
    folder.write(QStringLiteral("Polish.lang.txt"), "{INFO:Translated By}Zo\xc5\x9b\xff\n");
    folder.write(QStringLiteral("English.lang.txt"), "{INFO:Translated By}Not Us\n");
    folder.write(QStringLiteral("Greek.lang.txt"), "{INFO:Translated By}\n");

    const QString at = folder.languages();
    EXPECT_EQ(LanguageCredit(at, QStringLiteral("German")),
              QStringLiteral("Anna Schmidt, Bernd Maier"));
    EXPECT_EQ(LanguageCredit(at, QStringLiteral("French")), QStringLiteral("INFO:Translated By"))
        << "no entry: the key itself";
    EXPECT_EQ(LanguageCredit(at, QStringLiteral("Greek")), QString()) << "an empty entry stays";
    EXPECT_EQ(LanguageCredit(at, QStringLiteral("Polish")), QString()) << "not UTF-8";
    EXPECT_EQ(LanguageCredit(at, QStringLiteral("Missing")), QString());
    EXPECT_EQ(LanguageCredit(at, QStringLiteral("English")), QStringLiteral("Quiblex"));
}
