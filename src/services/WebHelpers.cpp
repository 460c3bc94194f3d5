#include "services/WebHelpers.h"

#include <QUrl>
#include <algorithm>

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

namespace {

// Host names compare without case and without a final root dot.
QString ComparableHost(const QUrl& url) {
    QString host = url.host(QUrl::FullyEncoded).toLower();
    if (host.endsWith(QLatin1Char('.'))) {
        host.chop(1);
    }
    return host;
}

bool IsNumericHost(const QString& host) {
    return host.contains(QLatin1Char(':')) || std::all_of(host.begin(), host.end(), [](QChar c) {
               return c.isDigit() || c == QLatin1Char('.');
           });
}

} // namespace

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

bool IsVendorAddress(const QString& address, const QString& vendorHost) {
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().toLower() != QLatin1String("https") ||
        !url.userInfo().isEmpty()) {
        return false;
    }
    const QString host = ComparableHost(url);
    const QString own =
        ComparableHost(QUrl(QStringLiteral("https://") + vendorHost, QUrl::StrictMode));
    if (host.isEmpty() || own.isEmpty()) {
        return false;
    }
    // An address given by number has no subdomains.
    return host == own || (!IsNumericHost(own) && host.endsWith(QLatin1Char('.') + own));
}

QString VendorDownloadPage(const QString& vendorHost) {
    return QStringLiteral("https://") + vendorHost + QLatin1Char('/');
}

QString NoticeAddress(const QString& downloadUrl, bool fromHttpsAnswer, const QString& vendorHost,
                      const QString& homePage) {
    if (!IsWebAddress(downloadUrl)) {
        return homePage;
    }
    if (fromHttpsAnswer || IsVendorAddress(downloadUrl, vendorHost)) {
        return downloadUrl;
    }
    return VendorDownloadPage(vendorHost);
}
