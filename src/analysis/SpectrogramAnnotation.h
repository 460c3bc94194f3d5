// A spectrogram picture with its scales and the quality verdict drawn around
// it, so a reader sees at a glance where the sound stops and why the file was
// judged as it was.
#pragma once

#include "analysis/AudioAnalyzer.h"
#include "analysis/SourceAssessment.h"

#include <QColor>
#include <QImage>
#include <QRect>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

struct SpectrogramLegend {
    std::uint32_t sampleRate = 0; // Hz; the top row is the bin just under half of it
    std::int64_t frames = 0;      // columns of the full picture, 2048 samples each
    QString title;                // usually the file name
    TAudioQualityResult analysis; // cutoff and verdict; qvError draws no cutoff line
    // The second opinion, as a third header line under the verdict's.
    std::optional<SourceAssessment> source;
};

struct AnnotatedSpectrogram {
    QImage image; // Format_RGB888
    QRect plot;   // where the picture sits in `image`
};

// Needs a QGuiApplication (text is drawn with the system's fonts).
AnnotatedSpectrogram AnnotateSpectrogram(const QImage& picture, const SpectrogramLegend& legend);

// The colour that marks a verdict in the annotation.
QColor VerdictColour(TQualityVerdict verdict);
// The same for the second opinion: a lossy trace as a Likely verdict, clean
// as OK, a natural roll-off in blue, no opinion in grey.
QColor AssessmentColour(Assessment assessment);

// Where frequency `hz` sits in a picture `height` rows high: the centre of the
// rows of its FFT bin, 0 Hz at the bottom (y grows downward, in pixels).
double SpectrogramYOfFrequency(double hz, std::uint32_t sampleRate, int height);

// Where time `seconds` sits in a picture `width` columns wide made of `frames`
// frames of 2048 samples (the left edge of the frame that starts there).
double SpectrogramXOfTime(double seconds, std::uint32_t sampleRate, std::int64_t frames, int width);

// Evenly spaced scale values from 0 up to `end`, in steps of one of
// `candidates` (ascending): the smallest step that leaves at least
// `minimumGap` pixels between neighbours at `pixelsPerUnit`.
std::vector<double> ScaleTicks(double end, double pixelsPerUnit, double minimumGap,
                               const std::vector<double>& candidates);

// "m:ss", or "h:mm:ss" when `withHours`.
QString FormatScaleTime(double seconds, bool withHours);
