#include "platform/UrlOpener.h"

#include <QDesktopServices>

bool IsOpenableUrl(const QUrl& url) {
    if (!url.isValid())
        return false;
    const QString scheme = url.scheme().toLower();
    if (scheme == u"http" || scheme == u"https")
        return !url.host().isEmpty();
    return url.isLocalFile() && !url.toLocalFile().isEmpty();
}

bool OpenUrl(const QUrl& url) {
    if (!IsOpenableUrl(url))
        return false;
    return QDesktopServices::openUrl(url);
}
