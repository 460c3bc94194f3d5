#include "translation/Language.h"

QString LanguagesFolder;
QStringList LanguageFiles;
QString CurrentLanguage;
void InitLanguage(const QString&) {}
QString Translate(const QString& text) { return text; }
QString LanguageLoadError() { return {}; }
