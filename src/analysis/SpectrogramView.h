#pragma once

#include <QImage>
#include <QSize>
#include <QString>

// The picture as the spectrum panel shows it: stretched over `size` by
// nearest-pixel sampling (source rows and columns dropped or repeated, no
// smoothing, aspect ratio not kept). Keeps the picture's pixel format; an
// empty picture or size gives an empty image.
QImage StretchNearest(const QImage& picture, QSize size);

// Writes `image` as a PNG of 8-bit truecolour without alpha, through a file
// aside that replaces `path` only when complete. On failure returns false and
// sets `error` to a reason for the user.
bool WriteTruecolourPng(const QImage& image, const QString& path, QString& error);
