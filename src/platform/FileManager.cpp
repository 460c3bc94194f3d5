#include "platform/FileManager.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFileInfo>
#include <QUrl>

void ShowInFileManager(const QString& path, QObject* context, const UrlOpenerFunction& openFolder,
                       QDBusConnection bus) {
    const QUrl folder = QUrl::fromLocalFile(QFileInfo(path).absolutePath());
    if (!bus.isConnected()) {
        openFolder(folder);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    // The path travels as a URL argument, never through a command line.
    call << QStringList{QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath())
                            .toString(QUrl::FullyEncoded)}
         << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
                     [watcher, folder, openFolder] {
                         watcher->deleteLater();
                         if (watcher->isError())
                             openFolder(folder);
                     });
}
