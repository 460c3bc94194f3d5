#include "app/SpectrumPanel.h"

#include "analysis/SpectrogramView.h"

#include <QFontMetrics>
#include <QPainter>
#include <stdexcept>

SpectrumPanel::SpectrumPanel(const QImage& bitmap, QWidget* parent)
    : QWidget(parent), m_bitmap(bitmap) {
    setObjectName(QStringLiteral("PaintBox1"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setMinimumHeight(16);
}

QImage SpectrumPanel::picture(QSize size, double scale) const {
    if (size.isEmpty())
        return {};
    if (m_bitmap.isNull()) {
        QImage empty(size, QImage::Format_RGB888);
        empty.fill(Qt::black);
        return empty;
    }
    QImage stretched = StretchNearest(m_bitmap, size);
    if (m_overlayShown)
        DrawScaleAndCutoff(stretched, m_legend, scale);
    return stretched;
}

void SpectrumPanel::setScaleAndCutoffShown(bool shown) {
    if (shown == m_overlayShown)
        return;
    m_overlayShown = shown;
    m_stretched = QImage();
    update();
}

void SpectrumPanel::setLegend(const PanelLegend& legend) {
    m_legend = legend;
    m_stretched = QImage();
    update();
}

void SpectrumPanel::bitmapChanged() {
    m_stretched = QImage();
    update();
}

void SpectrumPanel::setDrawing(bool drawing) {
    if (drawing == m_drawing)
        return;
    m_drawing = drawing;
    update();
}

void SpectrumPanel::paintEvent(QPaintEvent*) {
    // Stretch to device pixels, so a scaled screen shows the same nearest-
    // pixel picture rather than a smoothed one.
    const qreal ratio = devicePixelRatioF();
    const QSize deviceSize = (QSizeF(size()) * ratio).toSize();
    const qint64 key = m_bitmap.cacheKey();
    if (m_stretched.size() != deviceSize || m_stretchedKey != key) {
        m_stretched = picture(deviceSize, ratio);
        m_stretched.setDevicePixelRatio(ratio);
        m_stretchedKey = key;
    }
    QPainter painter(this);
    if (m_stretched.isNull())
        painter.fillRect(rect(), Qt::black);
    else
        painter.drawImage(QPoint(0, 0), m_stretched);
    if (m_drawing) {
        // Top right, clear of the scale on the left; a dark plate keeps it
        // readable over any colour of the picture.
        const QString note = QStringLiteral("Drawing the spectrogram\u2026");
        const QFontMetrics metrics(font());
        QRect plate = metrics.boundingRect(note).adjusted(-6, -3, 6, 3);
        plate.moveTopRight(rect().topRight() + QPoint(-4, 4));
        painter.fillRect(plate, QColor(0, 0, 0, 170));
        painter.setPen(Qt::white);
        painter.drawText(plate, Qt::AlignCenter, note);
    }
}

void SavePanelAsPng(const SpectrumPanel& panel, const QString& fileName) {
    const QImage image = panel.picture(panel.size());
    if (image.isNull())
        throw std::runtime_error("The panel has no area to save.");
    QString error;
    if (!WriteTruecolourPng(image, fileName, error))
        throw std::runtime_error(error.toStdString());
}
