#pragma once

#include <QImage>
#include <cstdint>

// What the panel's scale and cutoff line are drawn from: the chosen file's
// sample rate (the picture's top row lies just under half of it) and the
// cutoff the analysis found in it.
struct PanelLegend {
    std::uint32_t SampleRate = 0; // 0: nothing known, nothing drawn
    float CutoffHz = 0.0f;        // 0, or half the sample rate or more: no line
};

// Draws a kHz scale up the left edge and a line at the cutoff over
// `picture`, the spectrogram as stretched for the panel. `scale` is the
// device pixel ratio the picture is drawn for, so text keeps its size.
void DrawScaleAndCutoff(QImage& picture, const PanelLegend& legend, double scale = 1.0);
