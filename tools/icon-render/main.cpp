// Build tool: draws the program's SVG icon as a square PNG of a given size,
// for the desktop's fixed-size icon folders.
#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    bool sizeOk = false;
    const int size = args.value(3).toInt(&sizeOk);
    if (args.size() != 4 || !sizeOk || size < 1 || size > 1024) {
        std::fputs("usage: korvane-iconrender IN.svg OUT.png SIZE\n", stderr);
        return 64;
    }
    QSvgRenderer renderer(args[1]);
    if (!renderer.isValid()) {
        std::fprintf(stderr, "korvane-iconrender: cannot read %s\n", qPrintable(args[1]));
        return 2;
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
    }
    if (!image.save(args[2], "PNG")) {
        std::fprintf(stderr, "korvane-iconrender: cannot write %s\n", qPrintable(args[2]));
        return 2;
    }
    return 0;
}
