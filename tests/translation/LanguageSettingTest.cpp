// The language chosen in the dialog comes back at the next start.
#include "translation/LanguageSetting.h"

#include "LanguageFolder.h"
#include "translation/Language.h"

#include <QSettings>
#include <gtest/gtest.h>

TEST(LanguageSetting, StoredChoiceIsLoadedAtTheNextStart) {
    LanguageFolder folder;
    // A German user, whose automatic choice would be German.
    folder.setLocale("de_DE.UTF-8");
    folder.write(QStringLiteral("LanguageCodes.csv"), "1031,German.lang.txt\n");
    folder.write(QStringLiteral("German.lang.txt"), "{Send}Senden\n");
    folder.write(QStringLiteral("French.lang.txt"), "{Send}Envoyer\n");
    ASSERT_EQ(folder.init(QString()).CurrentLanguage, QStringLiteral("German"));
    const QString ini = folder.base() + QStringLiteral("/settings.ini");
    {
        QSettings settings(ini, QSettings::IniFormat);
        EXPECT_TRUE(StoredLanguageChoice(settings).isEmpty());
        StoreLanguageChoice(settings, QStringLiteral("French.lang.txt"));
    }

    // The next start opens the file anew.
    QSettings reopened(ini, QSettings::IniFormat);
    const QString choice = StoredLanguageChoice(reopened);
    EXPECT_EQ(choice, QStringLiteral("French.lang.txt"));
    const LanguageState french = folder.init(choice);
    EXPECT_EQ(french.CurrentLanguage, QStringLiteral("French"));
    EXPECT_EQ(Translate(french, QStringLiteral("Send")), QStringLiteral("Envoyer"));

    // Choosing English (there is no such file) keeps the program in English,
    // although the locale would pick German.
    StoreLanguageChoice(reopened, QStringLiteral("English.lang.txt"));
    const LanguageState english =
        folder.init(StoredLanguageChoice(QSettings(ini, QSettings::IniFormat)));
    EXPECT_TRUE(english.CurrentLanguage.isEmpty());
    EXPECT_EQ(Translate(english, QStringLiteral("Send")), QStringLiteral("Send"));
}

TEST(LanguageSetting, ValuesThatLeadOutOfTheLanguageFolderAreIgnored) {
    LanguageFolder folder;
    const QString ini = folder.base() + QStringLiteral("/settings.ini");
    QSettings settings(ini, QSettings::IniFormat);
    for (const QString& bad :
         {QStringLiteral("../German.lang.txt"), QStringLiteral("/etc/German.lang.txt"),
          QStringLiteral("sub\\German.lang.txt")}) {
        StoreLanguageChoice(settings, bad);
        EXPECT_TRUE(StoredLanguageChoice(settings).isEmpty()) << bad.toStdString();
    }
}
