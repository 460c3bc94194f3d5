#include "app/OnlineHelp.h"

QUrl OnlineHelpUrl(const QString& host, const QString& productName) {
    QString page = productName;
    for (QChar& c : page) {
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + (u'a' - u'A'));
        else if (c == u' ')
            c = u'-';
    }
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(host);
    url.setPath(QStringLiteral("/help/") + page + u'/');
    return url;
}
