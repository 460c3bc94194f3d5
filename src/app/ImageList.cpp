#include "app/ImageList.h"

#include "app/ResultRow.h"

#include <QHash>

static void LoadIconResources() {
    // The resources live in a static library: pull them in explicitly.
    Q_INIT_RESOURCE(korvane_icons);
}

QIcon ImageListIcon(const QString& name) {
    static QHash<QString, QIcon> cache;
    static const bool loaded = (LoadIconResources(), true);
    Q_UNUSED(loaded);
    auto found = cache.constFind(name);
    if (found != cache.constEnd())
        return *found;
    const QIcon icon(QStringLiteral(":/icons/") + name + QStringLiteral(".svg"));
    cache.insert(name, icon);
    return icon;
}

QIcon RowImageIcon(int imageIndex) {
    const QString name = RowImageName(imageIndex);
    return name.isEmpty() ? QIcon() : ImageListIcon(name);
}
