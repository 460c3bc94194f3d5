#pragma once

#include <QString>
#include <QUrl>

// The help page of a product on the vendor's web server:
// http://<host>/help/<product name lower-cased, blanks as "-">/
QUrl OnlineHelpUrl(const QString& host, const QString& productName);
