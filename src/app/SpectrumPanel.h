#pragma once

#include "app/PanelOverlay.h"

#include <QImage>
#include <QWidget>

// The strip under the result list that shows the chosen file's spectrogram,
// the bitmap stretched over the whole panel pixel by pixel (no smoothing, no
// kept aspect ratio).
class SpectrumPanel : public QWidget {
    Q_OBJECT
public:
    // `bitmap` is the main window's SpectrogramBMP; it must outlive the panel.
    explicit SpectrumPanel(const QImage& bitmap, QWidget* parent = nullptr);

    // The panel's picture at `size`, as painted on screen (the empty panel
    // is black), with the scale and cutoff line when they are shown.
    // `scale` is the device pixel ratio the picture is for.
    QImage picture(QSize size, double scale = 1.0) const;

    // A kHz scale and the cutoff line over the picture, for `legend` (the
    // file the bitmap shows).
    void setScaleAndCutoffShown(bool shown);
    bool scaleAndCutoffShown() const { return m_overlayShown; }
    void setLegend(const PanelLegend& legend);

    // The bitmap changed: drop the stretched copy and repaint.
    void bitmapChanged();

    // While a new picture is drawn the old one stays, with a short note over
    // it on screen (never in picture() or a saved file).
    void setDrawing(bool drawing);
    bool isDrawing() const { return m_drawing; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const QImage& m_bitmap;
    mutable QImage m_stretched; // cache for the current device size
    mutable qint64 m_stretchedKey = 0;
    bool m_overlayShown = false;
    bool m_drawing = false;
    PanelLegend m_legend;
};

// Writes the panel's current appearance (its size in logical pixels) as an
// 8-bit truecolour PNG without alpha. Throws std::runtime_error with the
// reason when the file cannot be written.
void SavePanelAsPng(const SpectrumPanel& panel, const QString& fileName);
