#include "app/AppContext.h"

#include "about/VersionInfo.h"
#include "app/SettingsIni.h"
#include "platform/DataFolder.h"
#include "translation/LanguageSetting.h"

#include <QFileInfo>
#include <exception>
#include <optional>

AppIdentity ReadAppIdentity(const QString& executable) {
    AppIdentity identity;
    TEXEVersionData data;
    try {
        ReadVersionInfo(executable, data);
    } catch (const std::exception&) {
        // Only a build without its version block gets here; the window still
        // needs a caption and a data folder.
        identity.CompanyName = QString::fromUtf8(KORVANE_COMPANY_NAME);
        identity.ProductName = QString::fromUtf8(KORVANE_PRODUCT_NAME);
        return identity;
    }
    identity.CompanyName = data.CompanyName;
    identity.ProductName = data.ProductName;
    if (const std::optional<VersionNumbers> version = ReadFixedFileVersion(executable)) {
        identity.Major = (*version)[0];
        identity.Minor = (*version)[1];
    }
    return identity;
}

void SetAppValues(AppContext& context, const AppIdentity& identity) {
    context.AppCompanyName = identity.CompanyName;
    context.AppProductName = identity.ProductName;
    context.AppVersion = QString::asprintf("%d.%d", identity.Major, identity.Minor);
    context.AppTitle = context.AppCompanyName + QStringLiteral(" - ") + context.AppProductName;
}

AppContext StartAppContext(const QString& executablePath, const QString& userDataFolder) {
    AppContext context;
    context.ExecutablePath = executablePath;
    SetAppValues(context, ReadAppIdentity(executablePath));
    const QString programFolder = QFileInfo(executablePath).absolutePath();
    context.DataFolder = ChooseDataFolder(programFolder, userDataFolder, context.AppCompanyName,
                                          context.AppProductName);
    context.SettingsIni = OpenSettingsIni(context.DataFolder + QStringLiteral("settings.ini"));
    // A damaged language file leaves the secondary windows in English; it is
    // no reason to refuse to start. A language chosen in the language dialog
    // wins over the automatic choice.
    context.Language = InitLanguage(programFolder, StoredLanguageChoice(*context.SettingsIni));
    if (!context.Language.LoadError.isEmpty())
        qWarning("%s", qUtf8Printable(context.Language.LoadError));
    return context;
}
