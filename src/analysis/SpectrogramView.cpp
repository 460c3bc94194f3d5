#include "analysis/SpectrogramView.h"

QImage StretchNearest(const QImage& picture, QSize size) {
    if (picture.isNull() || size.isEmpty())
        return QImage();
    if (size == picture.size())
        return picture;
    // Qt's fast transformation samples the nearest source pixel without
    // converting the picture first, so an hour's picture is not copied.
    return picture.scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}
