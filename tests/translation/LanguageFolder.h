#pragma once

#include "translation/Language.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QTemporaryDir>
#include <optional>

// A program folder of our own for InitLanguage: files written into its
// Languages/ subfolder, and the user's locale set for the test's duration.
class LanguageFolder {
public:
    LanguageFolder();
    ~LanguageFolder();
    LanguageFolder(const LanguageFolder&) = delete;
    LanguageFolder& operator=(const LanguageFolder&) = delete;

    QString base() const { return m_dir.path(); }
    QString languages() const { return m_dir.filePath(QStringLiteral("Languages")); }
    void createLanguages() const;
    // Writes Languages/<name> (creating the folder).
    QString write(const QString& name, const QByteArray& bytes) const;
    // Sets LANG alone (LANGUAGE, LC_ALL and LC_MESSAGES cleared).
    void setLocale(const QByteArray& lang) const;
    // InitLanguage with this folder as the program's.
    LanguageState init(const QString& preferred) const;

private:
    QTemporaryDir m_dir;
    QList<QPair<QByteArray, std::optional<QByteArray>>> m_saved; // variable, value before
};
