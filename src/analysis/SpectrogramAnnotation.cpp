#include "analysis/SpectrogramAnnotation.h"

#include "analysis/CutoffText.h"
#include "analysis/SpectrogramLevels.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPen>
#include <algorithm>
#include <cmath>
#include <utility>

namespace {

const QColor kBackground(18, 18, 24);
const QColor kText(222, 222, 230);
const QColor kMutedText(150, 150, 166);
const QColor kTick(120, 120, 136);
const QColor kFrame(72, 72, 88);
const QColor kLabelBox(8, 8, 12, 210);

const QString kDot = QStringLiteral(" \u00B7 ");

QString OneDecimal(double value) {
    return LocaleDecimalText(value, 1);
}

QString KilohertzLabel(double khz) {
    // Whole numbers stay whole; the half steps of a narrow band keep one decimal.
    return std::abs(khz - std::round(khz)) < 1e-9 ? QString::number(qlonglong(std::llround(khz)))
                                                  : LocaleDecimalText(khz, 1);
}

// Text grows a little with the picture, so a full-resolution picture stays readable.
QFont ScaleFont(int plotHeight) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(std::clamp(plotHeight / 24, 11, 16));
    return font;
}

QString CutoffCaption(const TAudioQualityResult& analysis, std::uint32_t sampleRate) {
    const double nyquist = sampleRate / 2.0;
    const QString word = VerdictWord(analysis.Verdict);
    if (double(analysis.CutoffHz) >= nyquist - 0.5)
        return word + kDot +
               QStringLiteral("no cutoff up to %1 kHz").arg(OneDecimal(nyquist / 1000.0));
    return word + kDot +
           QStringLiteral("cutoff %1 kHz").arg(OneDecimal(analysis.CutoffHz / 1000.0));
}

// Copies a 24-bit picture into the 32-bit canvas at `at`, pixel by pixel;
// false for other formats. The painter would convert a whole picture of
// 32768 columns first, 128 MiB beside the canvas.
bool CopyPicture(const QImage& picture, QImage& canvas, QPoint at) {
    if (picture.format() != QImage::Format_BGR888 || canvas.format() != QImage::Format_RGB32)
        return false;
    for (int y = 0; y < picture.height(); ++y) {
        const uchar* in = picture.constScanLine(y);
        auto* out = reinterpret_cast<QRgb*>(canvas.scanLine(at.y() + y)) + at.x();
        for (int x = 0; x < picture.width(); ++x, in += 3)
            out[x] = qRgb(in[2], in[1], in[0]);
    }
    return true;
}

struct Margins {
    int left, top, right, bottom;
};

} // namespace

QColor VerdictColour(TQualityVerdict verdict) {
    switch (verdict) {
    case qvOk:
        return QColor(94, 224, 138);
    case qvPossible:
        return QColor(255, 196, 40);
    case qvLikely:
        return QColor(255, 77, 77);
    case qvError:
        break;
    }
    return QColor(176, 176, 188);
}

QColor AssessmentColour(Assessment assessment) {
    switch (assessment) {
    case Assessment::Clean:
        return VerdictColour(qvOk);
    case Assessment::Transcoded:
    case Assessment::Upsampled:
        return VerdictColour(qvLikely);
    case Assessment::BandLimited:
        return QColor(110, 170, 255);
    case Assessment::Unknown:
    case Assessment::Error:
        break;
    }
    return VerdictColour(qvError);
}

double SpectrogramYOfFrequency(double hz, std::uint32_t sampleRate, int height) {
    if (sampleRate == 0)
        return height;
    const double bin = hz * 2.0 * kSpectrogramBins / sampleRate;
    return (kSpectrogramBins - 0.5 - bin) * height / kSpectrogramBins;
}

double SpectrogramXOfTime(double seconds, std::uint32_t sampleRate, std::int64_t frames,
                          int width) {
    if (frames <= 0)
        return 0.0;
    return seconds * sampleRate / (2.0 * kSpectrogramBins) * width / double(frames);
}

std::vector<double> ScaleTicks(double end, double pixelsPerUnit, double minimumGap,
                               const std::vector<double>& candidates) {
    std::vector<double> ticks;
    if (!(end >= 0.0) || !(pixelsPerUnit > 0.0) || candidates.empty())
        return ticks;
    double step = candidates.back();
    for (double candidate : candidates) {
        if (candidate * pixelsPerUnit >= minimumGap) {
            step = candidate;
            break;
        }
    }
    while (step * pixelsPerUnit < minimumGap)
        step *= 2.0;
    for (int k = 0; k * step <= end + 1e-9; ++k)
        ticks.push_back(k * step);
    return ticks;
}

QString FormatScaleTime(double seconds, bool withHours) {
    const long long total = std::max(0LL, std::llround(seconds));
    const QChar zero = u'0';
    if (withHours)
        return QStringLiteral("%1:%2:%3")
            .arg(total / 3600)
            .arg((total / 60) % 60, 2, 10, zero)
            .arg(total % 60, 2, 10, zero);
    return QStringLiteral("%1:%2").arg(total / 60).arg(total % 60, 2, 10, zero);
}

AnnotatedSpectrogram AnnotateSpectrogram(const QImage& picture, const SpectrogramLegend& legend) {
    AnnotatedSpectrogram result;
    if (picture.isNull() || legend.sampleRate == 0 || legend.frames <= 0)
        return result;
    const int width = picture.width();
    const int height = picture.height();

    const QFont font = ScaleFont(height);
    QFont bold = font;
    bold.setBold(true);
    const QFontMetrics metrics(font);
    const QFontMetrics boldMetrics(bold);
    const int lineHeight = metrics.height();
    const int pad = std::max(6, lineHeight / 2);
    const int tickLength = std::max(4, lineHeight / 3);

    // Frequency scale: labels in kHz up to the top row's bin.
    const double topKhz = (kSpectrogramBins - 1) * double(legend.sampleRate) / 2048.0 / 1000.0;
    const double pixelsPerKhz = height / (legend.sampleRate / 2000.0);
    const std::vector<double> freqTicks =
        ScaleTicks(topKhz, pixelsPerKhz, lineHeight * 1.7, {0.5, 1, 2, 5, 10, 20, 50, 100});
    QStringList freqLabels;
    int freqLabelWidth = 0;
    for (double khz : freqTicks) {
        freqLabels.append(KilohertzLabel(khz));
        freqLabelWidth = std::max(freqLabelWidth, metrics.horizontalAdvance(freqLabels.last()));
    }

    // Time scale: m:ss (h:mm:ss for an hour or more) under the picture.
    const double seconds = double(legend.frames) * 2048.0 / legend.sampleRate;
    const bool withHours = seconds >= 3600.0;
    const int timeLabelWidth = metrics.horizontalAdvance(FormatScaleTime(seconds, withHours));
    const std::vector<double> timeTicks =
        ScaleTicks(seconds, width / seconds, timeLabelWidth + 2.0 * lineHeight,
                   {1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 900, 1800, 3600, 7200});

    // The cutoff line's caption, and room for it and a readable header even
    // when the picture is only a few columns wide (a short file at full size):
    // what the picture lacks the right margin makes up.
    const TAudioQualityResult& analysis = legend.analysis;
    const bool drawCutoff = analysis.Verdict != qvError && analysis.CutoffHz > 0.0f;
    const QString caption = drawCutoff ? CutoffCaption(analysis, legend.sampleRate) : QString();
    const int captionWidth = drawCutoff ? boldMetrics.horizontalAdvance(caption) + 2 * pad : 0;
    const int headerMinimum =
        std::min(boldMetrics.horizontalAdvance(legend.title), 24 * boldMetrics.averageCharWidth());
    const int contentMinimum = std::max(captionWidth + pad, headerMinimum + pad);

    // Left margin: the unit (turned on its side), the labels, the ticks.
    const int labelsLeft = pad + lineHeight + 4;
    const int rightMargin = std::max(2 * pad, timeLabelWidth / 2 + pad);
    const Margins margins{
        labelsLeft + freqLabelWidth + 4 + tickLength + 1,
        pad + boldMetrics.height() + 2 + lineHeight + (legend.source ? 2 + lineHeight : 0) + pad,
        std::max(rightMargin, contentMinimum - width + pad),
        1 + tickLength + 2 + lineHeight + pad,
    };
    const QRect plot(margins.left, margins.top, width, height);

    QImage canvas(margins.left + width + margins.right, margins.top + height + margins.bottom,
                  QImage::Format_RGB32);
    if (canvas.isNull())
        return result;
    canvas.fill(kBackground);
    const bool copied = CopyPicture(picture, canvas, plot.topLeft());
    {
        QPainter painter(&canvas);
        if (!copied)
            painter.drawImage(plot.topLeft(), picture);
        painter.setPen(QPen(kFrame, 1));
        painter.drawRect(plot.adjusted(-1, -1, 0, 0));

        // Frequency scale.
        painter.setFont(font);
        for (std::size_t i = 0; i < freqTicks.size(); ++i) {
            const int y = plot.top() + int(std::floor(SpectrogramYOfFrequency(
                                           freqTicks[i] * 1000.0, legend.sampleRate, height)));
            painter.setPen(kTick);
            painter.drawLine(plot.left() - 1 - tickLength, y, plot.left() - 2, y);
            QRect box(labelsLeft, y - lineHeight / 2, freqLabelWidth, lineHeight);
            box.moveTop(std::clamp(box.top(), 0, canvas.height() - lineHeight));
            painter.setPen(kText);
            painter.drawText(box, Qt::AlignRight | Qt::AlignVCenter, freqLabels[qsizetype(i)]);
        }
        painter.save();
        painter.translate(pad, plot.top() + height / 2);
        painter.rotate(-90.0);
        painter.setPen(kMutedText);
        painter.drawText(QRect(-height / 2, 0, height, lineHeight), Qt::AlignCenter,
                         QStringLiteral("kHz"));
        painter.restore();

        // Time scale.
        for (double t : timeTicks) {
            const int x =
                plot.left() +
                int(std::floor(SpectrogramXOfTime(t, legend.sampleRate, legend.frames, width)));
            painter.setPen(kTick);
            painter.drawLine(x, plot.bottom() + 2, x, plot.bottom() + 1 + tickLength);
            const QString label = FormatScaleTime(t, withHours);
            const int labelWidth = metrics.horizontalAdvance(label);
            const int left = std::max(0, x - labelWidth / 2);
            if (left + labelWidth > canvas.width())
                continue;
            painter.setPen(kText);
            painter.drawText(
                QRect(left, plot.bottom() + 2 + tickLength + 2, labelWidth, lineHeight),
                Qt::AlignCenter, label);
        }

        // Header: file name and format on the first line, the verdict on the second.
        const int headerWidth = canvas.width() - plot.left() - pad;
        QString facts = QStringLiteral("%1 Hz").arg(legend.sampleRate);
        if (analysis.BitrateKbps > 0)
            facts += kDot + QStringLiteral("%1 kbps").arg(analysis.BitrateKbps);
        const int factsWidth = metrics.horizontalAdvance(facts);
        const bool showFacts = factsWidth + 3 * pad < headerWidth / 2;
        painter.setFont(bold);
        painter.setPen(kText);
        const int titleWidth = headerWidth - (showFacts ? factsWidth + 2 * pad : 0);
        painter.drawText(QRect(plot.left(), pad, titleWidth, boldMetrics.height()),
                         Qt::AlignLeft | Qt::AlignVCenter,
                         boldMetrics.elidedText(legend.title, Qt::ElideMiddle, titleWidth));
        painter.setFont(font);
        if (showFacts) {
            painter.setPen(kMutedText);
            painter.drawText(QRect(plot.left(), pad, headerWidth, boldMetrics.height()),
                             Qt::AlignRight | Qt::AlignVCenter, facts);
        }
        const int verdictTop = pad + boldMetrics.height() + 2;
        const QString word = VerdictWord(analysis.Verdict);
        painter.setFont(bold);
        painter.setPen(VerdictColour(analysis.Verdict));
        painter.drawText(QRect(plot.left(), verdictTop, headerWidth, lineHeight),
                         Qt::AlignLeft | Qt::AlignVCenter, word);
        if (!analysis.Reason.isEmpty()) {
            const int wordWidth = boldMetrics.horizontalAdvance(word);
            const int reasonWidth = headerWidth - wordWidth;
            painter.setFont(font);
            painter.setPen(kText);
            painter.drawText(QRect(plot.left() + wordWidth, verdictTop, reasonWidth, lineHeight),
                             Qt::AlignLeft | Qt::AlignVCenter,
                             metrics.elidedText(QStringLiteral(": ") + analysis.Reason,
                                                Qt::ElideRight, reasonWidth));
        }

        // The second opinion under the verdict, in the same form.
        if (legend.source) {
            const int sourceTop = verdictTop + lineHeight + 2;
            const QString opinion = AssessmentCellText(*legend.source);
            painter.setFont(bold);
            painter.setPen(AssessmentColour(legend.source->Kind));
            painter.drawText(QRect(plot.left(), sourceTop, headerWidth, lineHeight),
                             Qt::AlignLeft | Qt::AlignVCenter,
                             boldMetrics.elidedText(opinion, Qt::ElideRight, headerWidth));
            const int opinionWidth = boldMetrics.horizontalAdvance(opinion);
            if (!legend.source->Explanation.isEmpty() && opinionWidth < headerWidth) {
                const int explanationWidth = headerWidth - opinionWidth;
                painter.setFont(font);
                painter.setPen(kText);
                painter.drawText(
                    QRect(plot.left() + opinionWidth, sourceTop, explanationWidth, lineHeight),
                    Qt::AlignLeft | Qt::AlignVCenter,
                    metrics.elidedText(QStringLiteral(": ") + legend.source->Explanation,
                                       Qt::ElideRight, explanationWidth));
            }
        }

        // The cutoff line, in the verdict's colour, with its caption at the right end.
        if (drawCutoff) {
            const QColor colour = VerdictColour(analysis.Verdict);
            const int lineWidth = height >= 600 ? 2 : 1;
            const int y =
                plot.top() + std::clamp(int(std::floor(SpectrogramYOfFrequency(
                                            analysis.CutoffHz, legend.sampleRate, height))),
                                        0, height - lineWidth);
            painter.setClipRect(plot);
            QPen pen(colour, lineWidth);
            pen.setDashPattern({6.0, 3.0});
            pen.setCapStyle(Qt::FlatCap);
            painter.setPen(pen);
            // A pen of width 2 straddles its line; nudge it to cover rows y and y + 1.
            const double middle = y + lineWidth / 2.0;
            painter.drawLine(QPointF(plot.left(), middle), QPointF(plot.right() + 1, middle));

            painter.setClipping(false);
            painter.setFont(bold);
            const int boxHeight = boldMetrics.height() + 4;
            // At the line's right end; from the plot's left edge out into the
            // margin when the plot is narrower than the caption.
            const int boxLeft = std::max(plot.left(), plot.right() + 1 - captionWidth - pad);
            QRect box(boxLeft, y - boxHeight - 3, captionWidth, boxHeight);
            if (box.top() < plot.top())
                box.moveTop(y + lineWidth + 3); // no room above a line at the very top
            painter.setPen(QPen(colour, 1));
            painter.setBrush(kLabelBox);
            painter.drawRect(box.adjusted(0, 0, -1, -1));
            painter.drawText(box, Qt::AlignCenter, caption);
        }
    }
    // Converted where it lies when Qt can: a full-width canvas is over 100 MiB.
    result.image = std::move(canvas).convertToFormat(QImage::Format_RGB888);
    result.plot = plot;
    return result;
}
