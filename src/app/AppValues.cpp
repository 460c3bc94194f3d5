#include "app/AppValues.h"

#include "about/VersionInfo.h"

#include <QStringList>

#include <exception>

QString AppCompanyName;
QString AppProductName;
QString AppVersion;
QString AppTitle;
QString DataFolder;

bool ParseMajorMinor(const QString& version, int& major, int& minor) {
    const QStringList parts = version.trimmed().split(u'.');
    if (parts.size() < 2)
        return false;
    bool majorOk = false;
    bool minorOk = false;
    const uint a = parts[0].trimmed().toUInt(&majorOk);
    const uint b = parts[1].trimmed().toUInt(&minorOk);
    if (!majorOk || !minorOk || a > 65535 || b > 65535)
        return false;
    major = int(a);
    minor = int(b);
    return true;
}

TAppIdentity ReadAppIdentity(const QString& executable) {
    TAppIdentity identity;
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
    int major = 0;
    int minor = 0;
    if (ParseMajorMinor(data.FileVersion, major, minor)) {
        identity.Major = major;
        identity.Minor = minor;
    }
    return identity;
}

void SetAppValues(const TAppIdentity& identity) {
    AppCompanyName = identity.CompanyName;
    AppProductName = identity.ProductName;
    AppVersion = QString::asprintf("%d.%d", identity.Major, identity.Minor);
    AppTitle = AppCompanyName + QStringLiteral(" - ") + AppProductName;
}
