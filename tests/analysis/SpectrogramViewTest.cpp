// The panel's view of the picture: nearest-pixel stretching and PNG output.
#include "analysis/SpectrogramView.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Every pixel of row y carries y in its blue and green bytes, x in red.
QImage NumberedPicture(int width, int height) {
    QImage picture(width, height, QImage::Format_BGR888);
    for (int y = 0; y < height; ++y) {
        uchar* row = picture.scanLine(y);
        for (int x = 0; x < width; ++x) {
            row[3 * x] = uchar(y & 0xff);
            row[3 * x + 1] = uchar(y >> 8);
            row[3 * x + 2] = uchar(x);
        }
    }
    return picture;
}

int SourceRow(const QImage& image, int x, int y) {
    const uchar* p = image.constScanLine(y) + 3 * x;
    return p[0] | (p[1] << 8);
}

int SourceColumn(const QImage& image, int x, int y) {
    return image.constScanLine(y)[3 * x + 2];
}

} // namespace

TEST(StretchNearest, RepeatsAndDropsWholeRowsAndColumnsWithoutBlending) {
    const QImage picture = NumberedPicture(60, 1024);
    const struct {
        QSize size;
    } cases[] = {{QSize(240, 1024)}, {QSize(7, 128)}, {QSize(60, 333)}, {QSize(1000, 2048)}};
    for (const auto& c : cases) {
        const QImage shown = StretchNearest(picture, c.size);
        ASSERT_EQ(shown.size(), c.size);
        EXPECT_EQ(shown.format(), QImage::Format_BGR888);
        const double rowScale = 1024.0 / c.size.height();
        const double columnScale = 60.0 / c.size.width();
        for (int y = 0; y < c.size.height(); ++y) {
            for (int x = 0; x < c.size.width(); ++x) {
                // The source pixel under this one: no neighbour's colour mixed in.
                const int row = SourceRow(shown, x, y);
                const int column = SourceColumn(shown, x, y);
                ASSERT_GE(row, int(y * rowScale) - 1) << c.size.width() << "x" << c.size.height();
                ASSERT_LE(row, int((y + 1) * rowScale) + 1);
                ASSERT_GE(column, int(x * columnScale) - 1);
                ASSERT_LE(column, int((x + 1) * columnScale) + 1);
                ASSERT_EQ(SourceRow(shown, 0, y), row) << "a row comes from one source row";
            }
        }
    }
}

TEST(StretchNearest, DoublingRepeatsEachPixelTwice) {
    const QImage picture = NumberedPicture(5, 3);
    const QImage shown = StretchNearest(picture, QSize(10, 6));
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 10; ++x)
            EXPECT_EQ(shown.pixel(x, y), picture.pixel(x / 2, y / 2)) << x << "," << y;
}

TEST(StretchNearest, EmptyPictureOrSizeGivesAnEmptyImage) {
    EXPECT_TRUE(StretchNearest(QImage(), QSize(10, 10)).isNull());
    EXPECT_TRUE(StretchNearest(NumberedPicture(4, 4), QSize(0, 10)).isNull());
    EXPECT_TRUE(StretchNearest(NumberedPicture(4, 4), QSize(10, 0)).isNull());
}

TEST(WriteTruecolourPng, WritesEightBitRgbWithoutAlphaWhateverTheFormat) {
    QTemporaryDir dir;
    QImage withAlpha(9, 4, QImage::Format_ARGB32);
    withAlpha.fill(QColor(200, 100, 50));
    const QImage inputs[] = {NumberedPicture(9, 4), withAlpha,
                             NumberedPicture(9, 4).convertToFormat(QImage::Format_RGB32)};
    int n = 0;
    for (const QImage& input : inputs) {
        const QString path = dir.filePath(QStringLiteral("out%1.png").arg(n++));
        QString error;
        ASSERT_TRUE(WriteTruecolourPng(input, path, error)) << error.toStdString();
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray head = file.read(26);
        EXPECT_EQ(head.mid(12, 4), QByteArray("IHDR"));
        EXPECT_EQ(int(quint8(head[24])), 8) << "bit depth";
        EXPECT_EQ(int(quint8(head[25])), 2) << "colour type: truecolour, no alpha";
        const QImage back(path);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 9; ++x)
                ASSERT_EQ(back.pixel(x, y), input.pixel(x, y)) << n << ": " << x << "," << y;
    }
}

TEST(WriteTruecolourPng, ReportsAPathThatCannotBeWritten) {
    QTemporaryDir dir;
    QString error;
    EXPECT_FALSE(WriteTruecolourPng(NumberedPicture(3, 3),
                                    dir.filePath(QStringLiteral("no/such/folder/x.png")), error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(WriteTruecolourPng(QImage(), dir.filePath(QStringLiteral("empty.png")), error));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("empty.png"))));
}
