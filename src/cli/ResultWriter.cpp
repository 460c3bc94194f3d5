#include "cli/ResultWriter.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cmath>

namespace {

constexpr int kMaxPathWidth = 60;

// Wide enough for the usual reasons ("Cutoff 16.0 kHz is below the ~19.0 kHz
// expected for 1411 kbps (sharp lowpass, typical of re-encoding)"), so the
// Assessment column lines up; a longer one pushes its row's cell along.
constexpr int kReasonWidth = 101;

QJsonObject EvidenceObject(const SourceEvidence& e) {
    return QJsonObject{
        {QStringLiteral("codec"), StreamCodecName(e.Codec)},
        {QStringLiteral("wall_hz"), std::round(double(e.WallHz))},
        {QStringLiteral("knee_hz"), std::round(double(e.KneeHz))},
        {QStringLiteral("wall_drop_db"), std::round(double(e.WallDropDb) * 10.0) / 10.0},
        {QStringLiteral("wall_slope_db_per_khz"),
         std::round(double(e.WallSlopeDbPerKHz) * 10.0) / 10.0},
        {QStringLiteral("above_wall_db"), std::round(double(e.AboveWallDb) * 10.0) / 10.0},
        {QStringLiteral("hole_rate"), std::round(double(e.HoleRate) * 1000.0) / 1000.0},
        {QStringLiteral("hole_hz"), std::round(double(e.HoleHz))},
        {QStringLiteral("hole_baseline"), std::round(double(e.HoleBaseline) * 1000.0) / 1000.0},
        {QStringLiteral("own_wall_hz"), std::round(double(e.OwnWallHz))},
        {QStringLiteral("frames"), qint64(e.Frames)},
    };
}

QString CompactJson(const QJsonObject& object) {
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

// A JSON string literal of `text`.
QString JsonString(const QString& text) {
    const QString wrapped = CompactJson(QJsonObject{{QStringLiteral("v"), text}});
    // {"v":"..."} -> "..."
    return wrapped.mid(5, wrapped.size() - 6);
}

QString FloatText(float value) {
    return QString::number(double(value), 'g', QLocale::FloatingPointShortest);
}

} // namespace

ResultWriter::ResultWriter(std::FILE* out, OutputFormat format, const QStringList& paths)
    : m_out(out), m_format(format) {
    for (const QString& path : paths)
        m_pathWidth = std::max(m_pathWidth, int(std::min<qsizetype>(path.size(), kMaxPathWidth)));
}

QString ResultWriter::csvField(const QString& text) {
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') &&
        !text.contains(u'\r'))
        return text;
    QString quoted = text;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

QString ResultWriter::cutoffText(float cutoffHz) {
    return QString::number(std::llrint(double(cutoffHz)));
}

void ResultWriter::write(const QString& line) {
    const QByteArray bytes = line.toUtf8();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), m_out);
    std::fputc('\n', m_out);
    std::fflush(m_out);
}

// Columns of the result list: the path left, the figures right-aligned.
QString ResultWriter::tableLine(const QString& path, const QString& bitrate,
                                const QString& sampleRate, const QString& cutoff,
                                const QString& verdict, const QString& reason,
                                const QString& assessment) const {
    QString line = path.leftJustified(m_pathWidth) + QStringLiteral("  ") +
                   bitrate.rightJustified(7) + QStringLiteral("  ") +
                   sampleRate.rightJustified(11) + QStringLiteral("  ") + cutoff.rightJustified(6) +
                   QStringLiteral("  ") + verdict.leftJustified(8) + QStringLiteral("  ") +
                   reason.leftJustified(kReasonWidth) + QStringLiteral("  ") + assessment;
    while (line.endsWith(u' '))
        line.chop(1);
    return line;
}

void ResultWriter::writeHeader() {
    switch (m_format) {
    case OutputFormat::Table:
        write(tableLine(QStringLiteral("Filename"), QStringLiteral("Bitrate"),
                        QStringLiteral("Sample Rate"), QStringLiteral("Cutoff"),
                        QStringLiteral("Result"), QStringLiteral("Reason"),
                        QStringLiteral("Assessment")));
        break;
    case OutputFormat::Csv:
        write(QStringLiteral(
            "path,bitrate_kbps,sample_rate,cutoff_hz,sharp_cutoff,verdict,suspicious,reason,"
            "assessment,source,explanation,codec,wall_hz,knee_hz,wall_drop_db,"
            "wall_slope_db_per_khz,above_wall_db,hole_rate,hole_hz,hole_baseline,own_wall_hz,"
            "frames"));
        break;
    case OutputFormat::JsonLines:
        break;
    }
}

void ResultWriter::writeRow(const QString& path, const TAudioQualityResult& r,
                            const SourceAssessment& source) {
    switch (m_format) {
    case OutputFormat::Table:
        write(tableLine(path, QString::number(r.BitrateKbps), QString::number(r.SampleRate),
                        cutoffText(r.CutoffHz), VerdictWord(r.Verdict), r.Reason,
                        AssessmentCellText(source)));
        break;
    case OutputFormat::Csv: {
        QStringList fields{csvField(path),
                           QString::number(r.BitrateKbps),
                           QString::number(r.SampleRate),
                           FloatText(r.CutoffHz),
                           r.SharpCutoff ? QStringLiteral("true") : QStringLiteral("false"),
                           VerdictWord(r.Verdict),
                           r.IsSuspicious ? QStringLiteral("true") : QStringLiteral("false"),
                           csvField(r.Reason)};
        fields << AssessmentWord(source.Kind) << csvField(source.Source)
               << csvField(source.Explanation);
        const QJsonObject evidence = EvidenceObject(source.Evidence);
        for (const char* key :
             {"codec", "wall_hz", "knee_hz", "wall_drop_db", "wall_slope_db_per_khz",
              "above_wall_db", "hole_rate", "hole_hz", "hole_baseline", "own_wall_hz", "frames"}) {
            const QJsonValue value = evidence.value(QLatin1String(key));
            fields << (value.isString() ? csvField(value.toString())
                                        : QString::number(value.toDouble(), 'g', 10));
        }
        write(fields.join(u','));
        break;
    }
    case OutputFormat::JsonLines: {
        const QJsonObject row{
            {QStringLiteral("path"), path},
            {QStringLiteral("bitrate_kbps"), r.BitrateKbps},
            {QStringLiteral("sample_rate"), qint64(r.SampleRate)},
            {QStringLiteral("cutoff_hz"), double(r.CutoffHz)},
            {QStringLiteral("sharp_cutoff"), r.SharpCutoff},
            {QStringLiteral("verdict"), VerdictWord(r.Verdict)},
            {QStringLiteral("suspicious"), r.IsSuspicious},
            {QStringLiteral("reason"), r.Reason},
        };
        // The second opinion's fields follow the cutoff verdict's, which keep
        // their text and order.
        QString line = CompactJson(row);
        line.chop(1);
        line +=
            QStringLiteral(",\"assessment\":%1,\"source\":%2,\"explanation\":%3,"
                           "\"evidence\":%4}")
                .arg(JsonString(AssessmentWord(source.Kind)), JsonString(source.Source),
                     JsonString(source.Explanation), CompactJson(EvidenceObject(source.Evidence)));
        write(line);
        break;
    }
    }
}
