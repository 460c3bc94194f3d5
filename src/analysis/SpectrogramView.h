#pragma once

#include <QImage>
#include <QSize>

// The picture as the spectrum panel shows it: stretched over `size` by
// nearest-pixel sampling (source rows and columns dropped or repeated, no
// smoothing, aspect ratio not kept). Keeps the picture's pixel format; an
// empty picture or size gives an empty image.
QImage StretchNearest(const QImage& picture, QSize size);
