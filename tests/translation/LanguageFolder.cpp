#include "LanguageFolder.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

const char* const kLocaleVariables[] = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};

} // namespace

LanguageFolder::LanguageFolder() {
    for (const char* name : kLocaleVariables)
        m_saved.append(
            {name, qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt});
}

LanguageFolder::~LanguageFolder() {
    for (const auto& [name, value] : m_saved) {
        if (value)
            qputenv(name.constData(), *value);
        else
            qunsetenv(name.constData());
    }
}

LanguageState LanguageFolder::init(const QString& preferred) const {
    return InitLanguage(base(), preferred);
}

void LanguageFolder::createLanguages() const {
    QDir(base()).mkpath(QStringLiteral("Languages"));
}

QString LanguageFolder::write(const QString& name, const QByteArray& bytes) const {
    createLanguages();
    const QString path = languages() + u'/' + name;
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes);
    return path;
}

void LanguageFolder::setLocale(const QByteArray& lang) const {
    for (const char* name : kLocaleVariables)
        qunsetenv(name);
    qputenv("LANG", lang);
}
