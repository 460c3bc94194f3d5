#include "analysis/SpectrogramView.h"

QImage StretchNearest(const QImage& source, QSize size) {
    if (source.isNull() || size.isEmpty())
        return {};
    QImage out(size, QImage::Format_BGR888);
    for (int y = 0; y < size.height(); ++y) {
        const int sy = int(qint64(y) * source.height() / size.height());
        const uchar* in = source.constScanLine(sy);
        uchar* row = out.scanLine(y);
        for (int x = 0; x < size.width(); ++x) {
            const int sx = int(qint64(x) * source.width() / size.width());
            row[3 * x] = in[3 * sx];
            row[3 * x + 1] = in[3 * sx + 1];
            row[3 * x + 2] = in[3 * sx + 2];
        }
    }
    return out;
}
