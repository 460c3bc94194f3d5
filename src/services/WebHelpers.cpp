#include "services/WebHelpers.h"

#include <QUrl>

QString ExtractTagValue(const QString& line, const QString& tag) {
    const QString name = tag.toLower();
    const QString open = QLatin1Char('<') + name + QLatin1Char('>');
    const QString close = QStringLiteral("</") + name + QLatin1Char('>');
    if (line.size() < open.size() + close.size() || !line.startsWith(open) ||
        !line.endsWith(close)) {
        return QString();
    }
    return line.mid(open.size(), line.size() - open.size() - close.size());
}

QString VendorHost() {
    const QString overridden = qEnvironmentVariable("KORVANE_VENDOR_HOST").trimmed();
    return overridden.isEmpty() ? QStringLiteral(KORVANE_VENDOR_HOST) : overridden;
}

bool IsWebAddress(const QString& address) {
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid() || url.isRelative() || url.host().isEmpty()) {
        return false;
    }
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}
