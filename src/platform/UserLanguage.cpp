#include "platform/UserLanguage.h"

#include <QLocale>
#include <QRegularExpression>
#include <array>

namespace {

using L = QLocale;

struct LanguageId {
    QLocale::Language language;
    QLocale::Territory territory; // AnyTerritory: the language's default
    QLocale::Script script;       // AnyScript: any writing system
    quint16 id;
};

// Windows language identifiers: primary language in the low ten bits,
// sub-language (mostly the territory) above them. The row without territory
// and script is the language's default.
constexpr auto kLanguageIds = std::to_array<LanguageId>({
    {L::English, L::AnyTerritory, L::AnyScript, 0x0409},
    {L::English, L::UnitedStates, L::AnyScript, 0x0409},
    {L::English, L::UnitedKingdom, L::AnyScript, 0x0809},
    {L::English, L::Australia, L::AnyScript, 0x0C09},
    {L::English, L::Canada, L::AnyScript, 0x1009},
    {L::English, L::NewZealand, L::AnyScript, 0x1409},
    {L::English, L::Ireland, L::AnyScript, 0x1809},
    {L::English, L::SouthAfrica, L::AnyScript, 0x1C09},
    {L::English, L::Jamaica, L::AnyScript, 0x2009},
    {L::English, L::Belize, L::AnyScript, 0x2809},
    {L::English, L::TrinidadAndTobago, L::AnyScript, 0x2C09},
    {L::English, L::Zimbabwe, L::AnyScript, 0x3009},
    {L::English, L::Philippines, L::AnyScript, 0x3409},
    {L::English, L::India, L::AnyScript, 0x4009},
    {L::English, L::Malaysia, L::AnyScript, 0x4409},
    {L::English, L::Singapore, L::AnyScript, 0x4809},
    {L::German, L::AnyTerritory, L::AnyScript, 0x0407},
    {L::German, L::Switzerland, L::AnyScript, 0x0807},
    {L::German, L::Austria, L::AnyScript, 0x0C07},
    {L::German, L::Luxembourg, L::AnyScript, 0x1007},
    {L::German, L::Liechtenstein, L::AnyScript, 0x1407},
    {L::French, L::AnyTerritory, L::AnyScript, 0x040C},
    {L::French, L::Belgium, L::AnyScript, 0x080C},
    {L::French, L::Canada, L::AnyScript, 0x0C0C},
    {L::French, L::Switzerland, L::AnyScript, 0x100C},
    {L::French, L::Luxembourg, L::AnyScript, 0x140C},
    {L::French, L::Monaco, L::AnyScript, 0x180C},
    {L::Turkish, L::AnyTerritory, L::AnyScript, 0x041F},
    {L::Albanian, L::AnyTerritory, L::AnyScript, 0x041C},
    {L::Arabic, L::AnyTerritory, L::AnyScript, 0x0401},
    {L::Arabic, L::Iraq, L::AnyScript, 0x0801},
    {L::Arabic, L::Egypt, L::AnyScript, 0x0C01},
    {L::Arabic, L::Libya, L::AnyScript, 0x1001},
    {L::Arabic, L::Algeria, L::AnyScript, 0x1401},
    {L::Arabic, L::Morocco, L::AnyScript, 0x1801},
    {L::Arabic, L::Tunisia, L::AnyScript, 0x1C01},
    {L::Arabic, L::Oman, L::AnyScript, 0x2001},
    {L::Arabic, L::Yemen, L::AnyScript, 0x2401},
    {L::Arabic, L::Syria, L::AnyScript, 0x2801},
    {L::Arabic, L::Jordan, L::AnyScript, 0x2C01},
    {L::Arabic, L::Lebanon, L::AnyScript, 0x3001},
    {L::Arabic, L::Kuwait, L::AnyScript, 0x3401},
    {L::Arabic, L::UnitedArabEmirates, L::AnyScript, 0x3801},
    {L::Arabic, L::Bahrain, L::AnyScript, 0x3C01},
    {L::Arabic, L::Qatar, L::AnyScript, 0x4001},
    {L::Bulgarian, L::AnyTerritory, L::AnyScript, 0x0402},
    // Chinese: simplified for the mainland and Singapore, traditional elsewhere.
    {L::Chinese, L::AnyTerritory, L::AnyScript, 0x0804},
    {L::Chinese, L::AnyTerritory, L::TraditionalHanScript, 0x0404},
    {L::Chinese, L::Taiwan, L::AnyScript, 0x0404},
    {L::Chinese, L::China, L::AnyScript, 0x0804},
    {L::Chinese, L::HongKong, L::AnyScript, 0x0C04},
    {L::Chinese, L::Singapore, L::AnyScript, 0x1004},
    {L::Chinese, L::Macao, L::AnyScript, 0x1404},
    {L::Czech, L::AnyTerritory, L::AnyScript, 0x0405},
    {L::Dutch, L::AnyTerritory, L::AnyScript, 0x0413},
    {L::Dutch, L::Belgium, L::AnyScript, 0x0813},
    {L::Finnish, L::AnyTerritory, L::AnyScript, 0x040B},
    {L::Greek, L::AnyTerritory, L::AnyScript, 0x0408},
    {L::Hebrew, L::AnyTerritory, L::AnyScript, 0x040D},
    {L::Hungarian, L::AnyTerritory, L::AnyScript, 0x040E},
    {L::Italian, L::AnyTerritory, L::AnyScript, 0x0410},
    {L::Italian, L::Switzerland, L::AnyScript, 0x0810},
    {L::Japanese, L::AnyTerritory, L::AnyScript, 0x0411},
    {L::Korean, L::AnyTerritory, L::AnyScript, 0x0412},
    {L::Persian, L::AnyTerritory, L::AnyScript, 0x0429},
    {L::Polish, L::AnyTerritory, L::AnyScript, 0x0415},
    {L::Portuguese, L::AnyTerritory, L::AnyScript, 0x0416},
    {L::Portuguese, L::Brazil, L::AnyScript, 0x0416},
    {L::Portuguese, L::Portugal, L::AnyScript, 0x0816},
    {L::Romanian, L::AnyTerritory, L::AnyScript, 0x0418},
    {L::Romanian, L::Moldova, L::AnyScript, 0x0818},
    {L::Russian, L::AnyTerritory, L::AnyScript, 0x0419},
    {L::Russian, L::Moldova, L::AnyScript, 0x0819},
    {L::Slovenian, L::AnyTerritory, L::AnyScript, 0x0424},
    // Spanish of Spain is the modern sort (0x0C0A), as Windows installs it.
    {L::Spanish, L::AnyTerritory, L::AnyScript, 0x0C0A},
    {L::Spanish, L::Spain, L::AnyScript, 0x0C0A},
    {L::Spanish, L::Mexico, L::AnyScript, 0x080A},
    {L::Spanish, L::Guatemala, L::AnyScript, 0x100A},
    {L::Spanish, L::CostaRica, L::AnyScript, 0x140A},
    {L::Spanish, L::Panama, L::AnyScript, 0x180A},
    {L::Spanish, L::DominicanRepublic, L::AnyScript, 0x1C0A},
    {L::Spanish, L::Venezuela, L::AnyScript, 0x200A},
    {L::Spanish, L::Colombia, L::AnyScript, 0x240A},
    {L::Spanish, L::Peru, L::AnyScript, 0x280A},
    {L::Spanish, L::Argentina, L::AnyScript, 0x2C0A},
    {L::Spanish, L::Ecuador, L::AnyScript, 0x300A},
    {L::Spanish, L::Chile, L::AnyScript, 0x340A},
    {L::Spanish, L::Uruguay, L::AnyScript, 0x380A},
    {L::Spanish, L::Paraguay, L::AnyScript, 0x3C0A},
    {L::Spanish, L::Bolivia, L::AnyScript, 0x400A},
    {L::Spanish, L::ElSalvador, L::AnyScript, 0x440A},
    {L::Spanish, L::Honduras, L::AnyScript, 0x480A},
    {L::Spanish, L::Nicaragua, L::AnyScript, 0x4C0A},
    {L::Spanish, L::PuertoRico, L::AnyScript, 0x500A},
    {L::Spanish, L::UnitedStates, L::AnyScript, 0x540A},
    {L::Spanish, L::Cuba, L::AnyScript, 0x5C0A},
    {L::Swedish, L::AnyTerritory, L::AnyScript, 0x041D},
    {L::Swedish, L::Finland, L::AnyScript, 0x081D},
    {L::Ukrainian, L::AnyTerritory, L::AnyScript, 0x0422},
    {L::Vietnamese, L::AnyTerritory, L::AnyScript, 0x042A},
    {L::Slovak, L::AnyTerritory, L::AnyScript, 0x041B},
    // Abkhazian has no identifier of its own; Windows gives such languages
    // the "custom, unspecified" one.
    {L::Abkhazian, L::AnyTerritory, L::AnyScript, kLangIdCustomUnspecified},
    {L::NorwegianBokmal, L::AnyTerritory, L::AnyScript, 0x0414},
    {L::NorwegianNynorsk, L::AnyTerritory, L::AnyScript, 0x0814},
    {L::Catalan, L::AnyTerritory, L::AnyScript, 0x0403},
    {L::Hindi, L::AnyTerritory, L::AnyScript, 0x0439},
    // Further languages Windows ships interfaces for.
    {L::Afrikaans, L::AnyTerritory, L::AnyScript, 0x0436},
    {L::Amharic, L::AnyTerritory, L::AnyScript, 0x045E},
    {L::Armenian, L::AnyTerritory, L::AnyScript, 0x042B},
    {L::Azerbaijani, L::AnyTerritory, L::AnyScript, 0x042C},
    {L::Basque, L::AnyTerritory, L::AnyScript, 0x042D},
    {L::Belarusian, L::AnyTerritory, L::AnyScript, 0x0423},
    {L::Bengali, L::AnyTerritory, L::AnyScript, 0x0445},
    {L::Bengali, L::Bangladesh, L::AnyScript, 0x0845},
    {L::Bosnian, L::AnyTerritory, L::AnyScript, 0x141A},
    {L::Croatian, L::AnyTerritory, L::AnyScript, 0x041A},
    {L::Danish, L::AnyTerritory, L::AnyScript, 0x0406},
    {L::Estonian, L::AnyTerritory, L::AnyScript, 0x0425},
    {L::Filipino, L::AnyTerritory, L::AnyScript, 0x0464},
    {L::Galician, L::AnyTerritory, L::AnyScript, 0x0456},
    {L::Georgian, L::AnyTerritory, L::AnyScript, 0x0437},
    {L::Gujarati, L::AnyTerritory, L::AnyScript, 0x0447},
    {L::Icelandic, L::AnyTerritory, L::AnyScript, 0x040F},
    {L::Indonesian, L::AnyTerritory, L::AnyScript, 0x0421},
    {L::Irish, L::AnyTerritory, L::AnyScript, 0x083C},
    {L::Kannada, L::AnyTerritory, L::AnyScript, 0x044B},
    {L::Kazakh, L::AnyTerritory, L::AnyScript, 0x043F},
    {L::Khmer, L::AnyTerritory, L::AnyScript, 0x0453},
    {L::Kyrgyz, L::AnyTerritory, L::AnyScript, 0x0440},
    {L::Lao, L::AnyTerritory, L::AnyScript, 0x0454},
    {L::Latvian, L::AnyTerritory, L::AnyScript, 0x0426},
    {L::Lithuanian, L::AnyTerritory, L::AnyScript, 0x0427},
    {L::Luxembourgish, L::AnyTerritory, L::AnyScript, 0x046E},
    {L::Macedonian, L::AnyTerritory, L::AnyScript, 0x042F},
    {L::Malay, L::AnyTerritory, L::AnyScript, 0x043E},
    {L::Malayalam, L::AnyTerritory, L::AnyScript, 0x044C},
    {L::Maltese, L::AnyTerritory, L::AnyScript, 0x043A},
    {L::Marathi, L::AnyTerritory, L::AnyScript, 0x044E},
    {L::Mongolian, L::AnyTerritory, L::AnyScript, 0x0450},
    {L::Nepali, L::AnyTerritory, L::AnyScript, 0x0461},
    {L::Pashto, L::AnyTerritory, L::AnyScript, 0x0463},
    {L::Punjabi, L::AnyTerritory, L::AnyScript, 0x0446},
    // Serbian: Cyrillic unless the locale asks for Latin ("sr_RS@latin").
    {L::Serbian, L::AnyTerritory, L::AnyScript, 0x281A},
    {L::Serbian, L::AnyTerritory, L::LatinScript, 0x241A},
    {L::Sinhala, L::AnyTerritory, L::AnyScript, 0x045B},
    {L::Swahili, L::AnyTerritory, L::AnyScript, 0x0441},
    {L::Tajik, L::AnyTerritory, L::AnyScript, 0x0428},
    {L::Tamil, L::AnyTerritory, L::AnyScript, 0x0449},
    {L::Tatar, L::AnyTerritory, L::AnyScript, 0x0444},
    {L::Telugu, L::AnyTerritory, L::AnyScript, 0x044A},
    {L::Thai, L::AnyTerritory, L::AnyScript, 0x041E},
    {L::Turkmen, L::AnyTerritory, L::AnyScript, 0x0442},
    {L::Urdu, L::AnyTerritory, L::AnyScript, 0x0420},
    {L::Uzbek, L::AnyTerritory, L::AnyScript, 0x0443},
    {L::Welsh, L::AnyTerritory, L::AnyScript, 0x0452},
    {L::Xhosa, L::AnyTerritory, L::AnyScript, 0x0434},
    {L::Yoruba, L::AnyTerritory, L::AnyScript, 0x046A},
    {L::Zulu, L::AnyTerritory, L::AnyScript, 0x0435},
});

struct ParsedLocale {
    QLocale::Language language = QLocale::AnyLanguage;
    QLocale::Territory territory = QLocale::AnyTerritory;
    QLocale::Script script = QLocale::AnyScript;
};

// "ll[_Ssss][_CC][.codeset][@modifier]"; the codeset does not matter here.
ParsedLocale ParseLocaleName(const QString& name) {
    QString rest = name;
    QString modifier;
    if (const qsizetype at = rest.indexOf(u'@'); at >= 0) {
        modifier = rest.mid(at + 1).toLower();
        rest.truncate(at);
    }
    if (const qsizetype dot = rest.indexOf(u'.'); dot >= 0)
        rest.truncate(dot);

    ParsedLocale parsed;
    const QStringList parts = rest.split(QRegularExpression(QStringLiteral("[_-]")));
    parsed.language = QLocale::codeToLanguage(parts.value(0));
    for (qsizetype i = 1; i < parts.size(); ++i) {
        if (parts[i].size() == 4)
            parsed.script = QLocale::codeToScript(parts[i]);
        else
            parsed.territory = QLocale::codeToTerritory(parts[i]);
    }
    if (modifier == u"latin")
        parsed.script = QLocale::LatinScript;
    else if (modifier == u"cyrillic")
        parsed.script = QLocale::CyrillicScript;
    return parsed;
}

const LanguageId* Find(QLocale::Language language, QLocale::Territory territory,
                       QLocale::Script script) {
    for (const LanguageId& row : kLanguageIds) {
        if (row.language == language && row.territory == territory && row.script == script)
            return &row;
    }
    return nullptr;
}

} // namespace

quint16 LanguageIdForLocaleName(const QString& name) {
    const ParsedLocale locale = ParseLocaleName(name);
    if (locale.language == QLocale::AnyLanguage || locale.language == QLocale::C)
        return kLangIdEnglishUS;

    // Most specific first: territory and script, territory, script, language.
    const std::array<std::pair<QLocale::Territory, QLocale::Script>, 4> tries = {{
        {locale.territory, locale.script},
        {locale.territory, QLocale::AnyScript},
        {QLocale::AnyTerritory, locale.script},
        {QLocale::AnyTerritory, QLocale::AnyScript},
    }};
    for (const auto& [territory, script] : tries) {
        if (const LanguageId* row = Find(locale.language, territory, script))
            return row->id;
    }
    return kLangIdCustomUnspecified;
}

quint16 UserDefaultUILanguage(const QProcessEnvironment& environment) {
    // LANGUAGE is a priority list ("de_AT:de:en"); its first entry counts.
    const QString language = environment.value(QStringLiteral("LANGUAGE"))
                                 .section(u':', 0, 0, QString::SectionSkipEmpty);
    if (!language.isEmpty())
        return LanguageIdForLocaleName(language);
    for (const char16_t* variable : {u"LC_ALL", u"LC_MESSAGES", u"LANG"}) {
        const QString value = environment.value(QString::fromUtf16(variable));
        if (!value.isEmpty())
            return LanguageIdForLocaleName(value);
    }
    return kLangIdEnglishUS;
}

quint16 UserDefaultUILanguage() {
    return UserDefaultUILanguage(QProcessEnvironment::systemEnvironment());
}
