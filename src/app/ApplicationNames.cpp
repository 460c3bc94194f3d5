#include "app/ApplicationNames.h"

#include <QGuiApplication>

void SetApplicationNames() {
    QGuiApplication::setApplicationName(QStringLiteral("Korvane"));
    QGuiApplication::setOrganizationName(QString::fromUtf8(KORVANE_COMPANY_NAME));
    QGuiApplication::setDesktopFileName(QStringLiteral("korvane"));
    // No display name on purpose: once one is set, Qt's platform windows
    // append it to every title that does not already end with it, so the
    // window system would read "Korvane feedback — Korvane" and
    // "Success — Korvane". Without it a title reaches the window system as
    // the window set it, and an empty one falls back to the name above.
}
