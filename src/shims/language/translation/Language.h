#pragma once
// Temporary stand-in; see src/shims/README.md.
#include <QString>
#include <QStringList>

extern QString LanguagesFolder;
extern QStringList LanguageFiles;
extern QString CurrentLanguage;
void InitLanguage(const QString& preferred);
QString Translate(const QString& text);
QString LanguageLoadError();
