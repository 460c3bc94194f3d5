#pragma once

#include <QIcon>
#include <QString>

// A picture of the program's image lists by its name ("exit", "add-folder",
// ...), drawn from the SVG resources at whatever size and scale it is shown.
QIcon ImageListIcon(const QString& name);

// The picture behind an index of the result list's images (48 to 52).
QIcon RowImageIcon(int imageIndex);
