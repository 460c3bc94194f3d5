#include "platform/DataFolder.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace {

QString WithSeparator(const QString& folder) {
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

} // namespace

bool IsFolderWritable(const QString& folder) {
    QFile probe(WithSeparator(folder) + QStringLiteral("chk.tmp"));
    if (!probe.open(QIODevice::ReadWrite | QIODevice::NewOnly))
        return false;
    probe.close();
    probe.remove();
    return true;
}

QString UserDataFolder() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (folder.isEmpty())
        folder = QDir::homePath() + QStringLiteral("/.local/share");
    while (folder.size() > 1 && folder.endsWith(u'/'))
        folder.chop(1);
    return folder;
}

QString ChooseDataFolder(const QString& executableFolder, const QString& userDataFolder,
                         const QString& companyName, const QString& productName) {
    if (IsFolderWritable(executableFolder))
        return WithSeparator(executableFolder);
    const QString company = userDataFolder + u'/' + companyName;
    const QString product = company + u'/' + productName;
    // mkpath rather than two single mkdirs: the XDG data folder itself may not
    // exist yet on a fresh account.
    QDir().mkpath(product);
    return product + u'/';
}
