#include "translation/LanguageChoice.h"

#include "common/Trim.h"
#include "translation/LanguageFile.h"
#include "translation/WindowTexts.h"

#include <QHash>
#include <algorithm>
#include <stdexcept>

namespace {

bool SortsBefore(const QString& a, const QString& b) {
    const int folded = a.compare(b, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : a < b;
}

} // namespace

QString FlagImageName(const QString& languageName) {
    static const QHash<QString, QString> flags{
        {QStringLiteral("English"), QStringLiteral("english")},
        {QStringLiteral("German"), QStringLiteral("de")},
        {QStringLiteral("French"), QStringLiteral("fr")},
        {QStringLiteral("Turkish"), QStringLiteral("tr")},
        {QStringLiteral("Albanian"), QStringLiteral("al")},
        {QStringLiteral("Arabic"), QStringLiteral("xx")},
        {QStringLiteral("Bulgarian"), QStringLiteral("bg")},
        {QStringLiteral("ChineseSimplified"), QStringLiteral("cn")},
        {QStringLiteral("ChineseTraditional"), QStringLiteral("xx")},
        {QStringLiteral("Czech"), QStringLiteral("cz")},
        {QStringLiteral("Dutch"), QStringLiteral("nl")},
        {QStringLiteral("Finnish"), QStringLiteral("fi")},
        {QStringLiteral("Greek"), QStringLiteral("gr")},
        {QStringLiteral("Hebrew"), QStringLiteral("il")},
        {QStringLiteral("Hungarian"), QStringLiteral("hu")},
        {QStringLiteral("Italian"), QStringLiteral("it")},
        {QStringLiteral("Japanese"), QStringLiteral("jp")},
        {QStringLiteral("Korean"), QStringLiteral("kr")},
        {QStringLiteral("Persian"), QStringLiteral("ir")},
        {QStringLiteral("Polish"), QStringLiteral("pl")},
        {QStringLiteral("PortugueseBrazil"), QStringLiteral("br")},
        {QStringLiteral("PortuguesePortugal"), QStringLiteral("pt")},
        {QStringLiteral("Romanian"), QStringLiteral("ro")},
        {QStringLiteral("Russian"), QStringLiteral("ru")},
        {QStringLiteral("Slovenian"), QStringLiteral("si")},
        {QStringLiteral("Spanish"), QStringLiteral("es")},
        {QStringLiteral("Swedish"), QStringLiteral("se")},
        {QStringLiteral("Ukrainian"), QStringLiteral("ua")},
        {QStringLiteral("Vietnamese"), QStringLiteral("vi")},
        {QStringLiteral("Slovak"), QStringLiteral("sk")},
        {QStringLiteral("Abkhazian"), QStringLiteral("xx")},
        {QStringLiteral("Norwegian"), QStringLiteral("no")},
        {QStringLiteral("Catalan"), QStringLiteral("xx")},
        {QStringLiteral("Hindi"), QStringLiteral("in")},
    };
    return flags.value(languageName, QStringLiteral("xx"));
}

qsizetype InsertSorted(QStringList& items, const QString& item) {
    const auto at = std::upper_bound(items.begin(), items.end(), item, SortsBefore);
    const qsizetype index = at - items.begin();
    items.insert(index, item);
    return index;
}

QStringList LanguageDialogItems(const QStringList& languageFiles) {
    QStringList items{QStringLiteral("English")};
    for (const QString& file : languageFiles) {
        InsertSorted(items, LanguageNameOfFile(file));
    }
    return items;
}

QString LanguageCredit(const QString& languagesFolder, const QString& name) {
    if (name == QStringLiteral("English")) {
        return QStringLiteral("Quiblex");
    }
    try {
        const QStringList lines =
            ReadLanguageFileLines(languagesFolder + u'/' + name + QStringLiteral(".lang.txt"));
        return LookupTranslation(WindowTexts::kTranslatedByCredit, lines);
    } catch (const std::exception&) {
        return QString();
    }
}

QStringList CreditLines(const QString& credit) {
    QStringList lines;
    for (const QString& piece : credit.split(u',')) {
        lines.append(TrimControl(piece));
    }
    return lines;
}
