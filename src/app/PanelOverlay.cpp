#include "app/PanelOverlay.h"

#include "analysis/SpectrogramAnnotation.h"

#include <QFont>
#include <QFontMetrics>
#include <QLocale>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace {

// Apart from every colour of the spectrogram's scale (black through violet,
// magenta, orange and yellow to white), so the line reads on any picture.
const QColor kCutoffColour(0, 230, 255);
const QColor kScaleText(255, 255, 255);
const QColor kScaleShade(0, 0, 0, 150);

QString KilohertzText(double khz) {
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return std::abs(khz - std::round(khz)) < 1e-9 ? locale.toString(qlonglong(std::llround(khz)))
                                                  : locale.toString(khz, 'f', 1);
}

// Text on a dark backing, readable over bright and dark parts alike.
void DrawLabel(QPainter& painter, const QRect& box, const QString& text, const QColor& colour) {
    painter.fillRect(box, kScaleShade);
    painter.setPen(colour);
    painter.drawText(box, Qt::AlignCenter, text);
}

} // namespace

void DrawScaleAndCutoff(QImage& picture, const PanelLegend& legend, double scale) {
    if (picture.isNull() || legend.SampleRate == 0)
        return;
    const int width = picture.width();
    const int height = picture.height();
    const double nyquist = legend.SampleRate / 2.0;

    QPainter painter(&picture);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(std::max(8, int(std::lround(10 * scale))));
    painter.setFont(font);
    const QFontMetrics metrics(font);
    const int lineHeight = metrics.height();
    const int pad = std::max(1, int(std::lround(2 * scale)));
    const int tick = std::max(3, int(std::lround(5 * scale)));

    // The scale: a tick and a figure per step, kHz written once at the top
    // step, with room between figures however low the panel is.
    const double pixelsPerKhz = height / (nyquist / 1000.0);
    const double topKhz = (1023.0 / 1024.0) * nyquist / 1000.0;
    const std::vector<double> ticks =
        ScaleTicks(topKhz, pixelsPerKhz, lineHeight * 1.3, {1, 2, 5, 10, 20, 50});
    std::vector<std::pair<int, double>> marks;       // row, kHz
    for (std::size_t i = 1; i < ticks.size(); ++i) { // 0 Hz sits on the bottom edge
        const int y =
            int(std::floor(SpectrogramYOfFrequency(ticks[i] * 1000.0, legend.SampleRate, height)));
        if (y - lineHeight / 2 >= 0)
            marks.emplace_back(y, ticks[i]);
    }
    for (std::size_t i = 0; i < marks.size(); ++i) {
        const auto [y, khz] = marks[i];
        painter.setPen(QPen(kScaleText, std::max(1.0, scale)));
        painter.drawLine(0, y, tick, y);
        QString text = KilohertzText(khz);
        if (i + 1 == marks.size())
            text += QStringLiteral(" kHz");
        const QRect box(tick + pad, y - lineHeight / 2, metrics.horizontalAdvance(text) + 2 * pad,
                        lineHeight);
        DrawLabel(painter, box, text, kScaleText);
    }

    // The cutoff: a line across the whole picture where the sound ends.
    if (legend.CutoffHz > 0.0f && legend.CutoffHz < nyquist) {
        const int y =
            int(std::floor(SpectrogramYOfFrequency(legend.CutoffHz, legend.SampleRate, height)));
        painter.setPen(QPen(kCutoffColour, std::max(1.0, std::round(scale))));
        painter.drawLine(0, y, width - 1, y);
        const QString text = QStringLiteral("Cutoff %1 kHz")
                                 .arg(QLocale().toString(legend.CutoffHz / 1000.0, 'f', 1));
        const int textWidth = metrics.horizontalAdvance(text) + 2 * pad;
        // Above the line, or below it when the line runs along the top.
        const int top = y - lineHeight - pad >= 0 ? y - lineHeight - pad : y + pad + 1;
        DrawLabel(painter, QRect(width - textWidth - pad, top, textWidth, lineHeight), text,
                  kCutoffColour);
    }
}
