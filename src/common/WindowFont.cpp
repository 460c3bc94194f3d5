#include "common/WindowFont.h"

#include <QApplication>

namespace {

QFont StyledFace(FontStyle style) {
    QFont font;
    font.setFamilies({QStringLiteral("Tahoma"), QApplication::font().family()});
    font.setBold(style.Bold);
    font.setUnderline(style.Underline);
    return font;
}

} // namespace

QFont WindowFont(int pixelHeight, FontStyle style) {
    QFont font = StyledFace(style);
    font.setPixelSize(pixelHeight);
    return font;
}

QFont WindowFontInPoints(int pointSize, FontStyle style) {
    QFont font = StyledFace(style);
    font.setPointSize(pointSize);
    return font;
}
