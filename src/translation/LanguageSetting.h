#pragma once

#include <QSettings>
#include <QString>

// The language file chosen in the language dialog, kept in settings.ini so
// that the restarted program comes back in that language.
void StoreLanguageChoice(QSettings& settings, const QString& fileName);

// The stored choice for InitLanguage; empty (the automatic choice) when none
// was made or the stored value could not name a file in the language folder.
QString StoredLanguageChoice(const QSettings& settings);
