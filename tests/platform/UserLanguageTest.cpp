#include "platform/UserLanguage.h"

#include "platform/LocaleText.h"

#include <gtest/gtest.h>

namespace {

QProcessEnvironment Environment(std::initializer_list<std::pair<const char*, const char*>> values) {
    QProcessEnvironment environment;
    for (const auto& [name, value] : values)
        environment.insert(QString::fromUtf8(name), QString::fromUtf8(value));
    return environment;
}

} // namespace

// One locale for each language the language dialog has a flag for, with the
// identifier Windows gives that language.
TEST(LanguageIdForLocaleName, TheDialogsLanguages) {
    const std::pair<const char*, quint16> cases[] = {
        {"en_US", 0x0409}, {"de_DE", 0x0407}, {"fr_FR", 0x040C}, {"tr_TR", 0x041F},
        {"sq_AL", 0x041C}, {"ar_SA", 0x0401}, {"bg_BG", 0x0402}, {"zh_CN", 0x0804},
        {"zh_TW", 0x0404}, {"cs_CZ", 0x0405}, {"nl_NL", 0x0413}, {"fi_FI", 0x040B},
        {"el_GR", 0x0408}, {"he_IL", 0x040D}, {"hu_HU", 0x040E}, {"it_IT", 0x0410},
        {"ja_JP", 0x0411}, {"ko_KR", 0x0412}, {"fa_IR", 0x0429}, {"pl_PL", 0x0415},
        {"pt_BR", 0x0416}, {"pt_PT", 0x0816}, {"ro_RO", 0x0418}, {"ru_RU", 0x0419},
        {"sl_SI", 0x0424}, {"es_ES", 0x0C0A}, {"sv_SE", 0x041D}, {"uk_UA", 0x0422},
        {"vi_VN", 0x042A}, {"sk_SK", 0x041B}, {"ab_GE", 0x1000}, {"nb_NO", 0x0414},
        {"ca_ES", 0x0403}, {"hi_IN", 0x0439},
    };
    for (const auto& [locale, id] : cases)
        EXPECT_EQ(LanguageIdForLocaleName(QString::fromUtf8(locale)), id) << locale;
}

TEST(LanguageIdForLocaleName, FormsOfLocaleNames) {
    const std::pair<const char*, quint16> cases[] = {
        {"de_AT.UTF-8", 0x0C07},
        {"de_CH", 0x0807},
        {"de_DE.UTF-8@euro", 0x0407},
        {"de", 0x0407},
        {"en-GB", 0x0809},
        {"en_IN.UTF-8", 0x4009},
        {"fr_CA.ISO-8859-1", 0x0C0C},
        {"es", 0x0C0A},
        {"es_MX", 0x080A},
        {"es_US", 0x540A},
        {"pt", 0x0416},
        {"zh", 0x0804},
        {"zh_HK", 0x0C04},
        {"zh_SG", 0x1004},
        {"zh_Hant", 0x0404},
        {"zh_Hant_HK", 0x0C04},
        {"sr_RS", 0x281A},
        {"sr_RS@latin", 0x241A},
        {"nn_NO", 0x0814},
        {"fr_XX", 0x040C},
        {"C", 0x0409},
        {"C.UTF-8", 0x0409},
        {"POSIX", 0x0409},
        {"", 0x0409},
        {"xx_YY", 0x0409},
        {"eo", 0x1000},
    };
    for (const auto& [locale, id] : cases)
        EXPECT_EQ(LanguageIdForLocaleName(QString::fromUtf8(locale)), id) << locale;
}

TEST(UserDefaultUILanguage, VariablesInOrderOfPrecedence) {
    struct Case {
        const char* name;
        QProcessEnvironment environment;
        quint16 id;
    };
    const Case cases[] = {
        {"nothing set", Environment({}), 0x0409},
        {"LANG alone", Environment({{"LANG", "tr_TR.UTF-8"}}), 0x041F},
        {"LC_MESSAGES over LANG",
         Environment({{"LANG", "en_US.UTF-8"}, {"LC_MESSAGES", "fr_BE.UTF-8"}}), 0x080C},
        {"LC_ALL over LC_MESSAGES",
         Environment({{"LC_ALL", "it_CH.UTF-8"}, {"LC_MESSAGES", "fr_FR.UTF-8"}}), 0x0810},
        {"LANGUAGE over all, its first entry",
         Environment({{"LANGUAGE", "pt_PT:pt:en"}, {"LC_ALL", "de_DE.UTF-8"}}), 0x0816},
        {"empty LANGUAGE ignored", Environment({{"LANGUAGE", ""}, {"LANG", "es_AR.UTF-8"}}),
         0x2C0A},
        {"empty LC_ALL ignored", Environment({{"LC_ALL", ""}, {"LANG", "ru_RU.UTF-8"}}), 0x0419},
        {"LANGUAGE with a leading colon", Environment({{"LANGUAGE", ":sv_FI"}}), 0x081D},
    };
    for (const Case& c : cases)
        EXPECT_EQ(UserDefaultUILanguage(c.environment), c.id) << c.name;
}

TEST(DecodeLocaleText, NamedEncodings) {
    EXPECT_EQ(DecodeLocaleText("caf\xE9", "ISO-8859-1"), QStringLiteral("café"));
    EXPECT_EQ(DecodeLocaleText("caf\xC3\xA9", "UTF-8"), QStringLiteral("café"));
    // An encoding the converter does not know reads as UTF-8.
    EXPECT_EQ(DecodeLocaleText("caf\xC3\xA9", "NO-SUCH-ENCODING"), QStringLiteral("café"));
}
