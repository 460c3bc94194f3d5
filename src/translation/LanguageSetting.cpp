#include "translation/LanguageSetting.h"

namespace {

const QString kLanguageKey = QStringLiteral("Language/File");

} // namespace

void StoreLanguageChoice(QSettings& settings, const QString& fileName) {
    settings.setValue(kLanguageKey, fileName);
    settings.sync();
}

QString StoredLanguageChoice(const QSettings& settings) {
    const QString fileName = settings.value(kLanguageKey).toString();
    // A hand-edited value must not lead outside the language folder.
    if (fileName.contains(u'/') || fileName.contains(u'\\') || fileName.contains(QChar(0))) {
        return QString();
    }
    return fileName;
}
