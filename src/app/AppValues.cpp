#include "app/AppValues.h"

#include "about/VersionInfo.h"

#include <exception>
#include <optional>

QString AppCompanyName;
QString AppProductName;
QString AppVersion;
QString AppTitle;
QString DataFolder;

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

void SetAppValues(const AppIdentity& identity) {
    AppCompanyName = identity.CompanyName;
    AppProductName = identity.ProductName;
    AppVersion = QString::asprintf("%d.%d", identity.Major, identity.Minor);
    AppTitle = AppCompanyName + QStringLiteral(" - ") + AppProductName;
}
