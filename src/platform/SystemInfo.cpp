#include "platform/SystemInfo.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QLocale>
#include <QMessageAuthenticationCode>
#include <QRegularExpression>
#include <QSysInfo>
#include <QUuid>

#ifdef Q_OS_WIN
#include <QSettings>
#endif

QString UserLocaleName() {
    const QLocale locale = QLocale::system();
    if (locale.language() == QLocale::C || locale.language() == QLocale::AnyLanguage) {
        return QStringLiteral("xx");
    }
    QString name = locale.name(); // "ll_CC"
    name.replace(QLatin1Char('_'), QLatin1Char('-'));
    return name;
}

QString ReadMachineGuid() {
#ifdef Q_OS_WIN
    QSettings key(QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Cryptography"),
                  QSettings::Registry64Format);
    return key.value(QStringLiteral("MachineGuid")).toString();
#else
    const QByteArray machineId = QSysInfo::machineUniqueId();
    if (machineId.isEmpty()) {
        return QString();
    }
    // A keyed hash: the result identifies the installation to us only and
    // cannot be turned back into the machine id.
    static const QByteArray key("Korvane installation identifier 2f61c0d4");
    QByteArray digest =
        QMessageAuthenticationCode::hash(machineId, key, QCryptographicHash::Sha256).left(16);
    // Mark it as a name-based (version 5 style) RFC 4122 identifier.
    digest[6] = static_cast<char>((digest[6] & 0x0F) | 0x50);
    digest[8] = static_cast<char>((digest[8] & 0x3F) | 0x80);
    return QUuid::fromRfc4122(digest).toString(QUuid::WithoutBraces);
#endif
}

QString OsDescription() {
    static const QRegularExpression numbers(QStringLiteral("^(\\d+)(?:\\.(\\d+))?(?:\\.(\\d+))?"));
    const QRegularExpressionMatch version = numbers.match(QSysInfo::kernelVersion());
    const int major = version.captured(1).toInt();
    const int minor = version.captured(2).toInt();
    const int build = version.captured(3).toInt();
    const QString edition = QSysInfo::currentCpuArchitecture().contains(QStringLiteral("64"))
                                ? QStringLiteral("64-bit Edition")
                                : QStringLiteral("32-bit Edition");
    return QStringLiteral("%1 (Version %2.%3, Build %4, %5)")
        .arg(QSysInfo::prettyProductName())
        .arg(major)
        .arg(minor)
        .arg(build)
        .arg(edition);
}
