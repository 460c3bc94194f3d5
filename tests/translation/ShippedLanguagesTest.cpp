// The language files shipped beside the executables: complete, well-formed,
// and reached from the locales they are meant for.
#include "LanguageFolder.h"
#include "platform/UserLanguage.h"
#include "translation/Language.h"
#include "translation/LanguageFile.h"
#include "translation/WindowTexts.h"

#include <QDir>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

QString ShippedFolder() {
    return QStringLiteral(KORVANE_BIN_DIR "/Languages");
}

QStringList ShippedLanguageFiles() {
    return QDir(ShippedFolder()).entryList({QStringLiteral("*.lang.txt")}, QDir::Files, QDir::Name);
}

// The format placeholders of a text, in order ("%s", "%d", "%1", ...).
QStringList Placeholders(const QString& text) {
    static const QRegularExpression pattern(
        QStringLiteral("%(?:[0-9]+|[-+ #0]*[0-9]*(?:\\.[0-9]+)?[a-zA-Z])"));
    QStringList found;
    for (auto it = pattern.globalMatch(text); it.hasNext();)
        found << it.next().captured();
    return found;
}

} // namespace

TEST(ShippedLanguages, TheFourLanguagesAreThere) {
    const QStringList files = ShippedLanguageFiles();
    for (const char* name : {"German", "French", "Spanish", "Turkish"})
        EXPECT_TRUE(files.contains(QString::fromUtf8(name) + QStringLiteral(".lang.txt"))) << name;
}

TEST(ShippedLanguages, EveryWindowTextIsTranslated) {
    QStringList known = WindowTexts::All();
    EXPECT_EQ(known.size(), QSet<QString>(known.begin(), known.end()).size()) << "duplicate text";
    known << WindowTexts::kTranslatedByCredit;

    for (const QString& file : ShippedLanguageFiles()) {
        SCOPED_TRACE(file.toStdString());
        QStringList lines;
        ASSERT_NO_THROW(lines = ReadLanguageFileLines(ShippedFolder() + u'/' + file));

        const std::optional<QString> credit =
            FindTranslationEntry(WindowTexts::kTranslatedByCredit, lines);
        ASSERT_TRUE(credit.has_value());
        EXPECT_FALSE(credit->trimmed().isEmpty());

        for (const QString& text : WindowTexts::All()) {
            const std::optional<QString> translation = FindTranslationEntry(text, lines);
            ASSERT_TRUE(translation.has_value()) << "missing: " << text.toStdString();
            EXPECT_FALSE(translation->isEmpty()) << text.toStdString();
            EXPECT_EQ(translation->trimmed(), *translation)
                << "stray blank: " << text.toStdString();
            EXPECT_EQ(Placeholders(*translation), Placeholders(text)) << text.toStdString();
        }

        // Every entry is for a text the windows use, and each text appears once.
        QSet<QString> seen;
        for (const QString& line : lines) {
            if (!line.startsWith(u'{'))
                continue;
            const QString key = line.mid(1, line.indexOf(u'}') - 1);
            EXPECT_TRUE(known.contains(key)) << "unknown entry: " << line.toStdString();
            EXPECT_FALSE(seen.contains(key)) << "second entry: " << line.toStdString();
            seen.insert(key);
        }
    }
}

TEST(ShippedLanguages, LanguageCodesNameShippedFiles) {
    const QStringList lines =
        ReadLanguageCodesLines(ShippedFolder() + QStringLiteral("/LanguageCodes.csv"));
    ASSERT_FALSE(lines.isEmpty());
    const QStringList files = ShippedLanguageFiles();
    QSet<QString> identifiers;
    for (const QString& line : lines) {
        const QStringList fields = line.split(u',');
        ASSERT_EQ(fields.size(), 2) << line.toStdString();
        bool ok = false;
        fields[0].toUShort(&ok);
        EXPECT_TRUE(ok) << line.toStdString();
        EXPECT_FALSE(identifiers.contains(fields[0])) << "identifier twice: " << line.toStdString();
        identifiers.insert(fields[0]);
        EXPECT_TRUE(files.contains(fields[1])) << line.toStdString();
    }
}

// Start-up in the shipped folder picks each language for its speakers' locales.
TEST(ShippedLanguages, LocalesReachTheirLanguage) {
    const std::pair<const char*, const char*> cases[] = {
        {"de_DE.UTF-8", "German"},  {"de_AT.UTF-8", "German"},  {"de_CH.UTF-8", "German"},
        {"de_LU.UTF-8", "German"},  {"de_LI.UTF-8", "German"},  {"fr_FR.UTF-8", "French"},
        {"fr_BE.UTF-8", "French"},  {"fr_CA.UTF-8", "French"},  {"fr_CH.UTF-8", "French"},
        {"fr_LU.UTF-8", "French"},  {"es_ES.UTF-8", "Spanish"}, {"es_MX.UTF-8", "Spanish"},
        {"es_AR.UTF-8", "Spanish"}, {"es_CO.UTF-8", "Spanish"}, {"es_CL.UTF-8", "Spanish"},
        {"es_US.UTF-8", "Spanish"}, {"es_PE.UTF-8", "Spanish"}, {"es_VE.UTF-8", "Spanish"},
        {"es_CU.UTF-8", "Spanish"}, {"tr_TR.UTF-8", "Turkish"}, {"en_US.UTF-8", ""},
        {"en_GB.UTF-8", ""},        {"it_IT.UTF-8", ""},        {"C", ""},
    };
    for (const auto& [locale, language] : cases) {
        LanguageFolder folder;
        folder.setLocale(locale);
        const LanguageState chosen = InitLanguage(QStringLiteral(KORVANE_BIN_DIR), QString());
        EXPECT_EQ(chosen.CurrentLanguage, QString::fromUtf8(language)) << locale;
        EXPECT_TRUE(chosen.LoadError.isEmpty()) << locale;
    }
}
