#pragma once
// Temporary stand-in; see src/shims/README.md.
#include <QImage>
#include <QSize>

QImage StretchNearest(const QImage& source, QSize size);
