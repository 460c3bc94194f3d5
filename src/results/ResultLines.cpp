#include "results/ResultLines.h"

#include <QJsonDocument>
#include <QLocale>
#include <QStringList>
#include <cmath>

namespace {

// The shortest text that reads back as the same float.
QString FloatText(float value) {
    return QString::number(double(value), 'g', QLocale::FloatingPointShortest);
}

QString BoolText(bool value) {
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

// Evidence figures in the order of the CSV columns.
constexpr const char* kEvidenceKeys[] = {
    "codec",         "wall_hz",   "knee_hz", "wall_drop_db",  "wall_slope_db_per_khz",
    "above_wall_db", "hole_rate", "hole_hz", "hole_baseline", "own_wall_hz",
    "frames"};

double Rounded(float value, double step) {
    return std::round(double(value) / step) * step;
}

QString CompactJson(const QJsonObject& object) {
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

// A JSON string literal of `text`, quotes and escapes included.
QString JsonString(const QString& text) {
    const QString wrapped = CompactJson(QJsonObject{{QStringLiteral("v"), text}});
    return wrapped.mid(5, wrapped.size() - 6); // {"v":...}
}

} // namespace

QString CsvField(const QString& text) {
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') &&
        !text.contains(u'\r'))
        return text;
    QString quoted = text;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

QString CsvHeaderLine() {
    return QStringLiteral(
        "path,bitrate_kbps,sample_rate,cutoff_hz,sharp_cutoff,verdict,suspicious,reason");
}

QString CsvLine(const QString& path, const TAudioQualityResult& r) {
    return QStringList{CsvField(path),
                       QString::number(r.BitrateKbps),
                       QString::number(r.SampleRate),
                       FloatText(r.CutoffHz),
                       BoolText(r.SharpCutoff),
                       VerdictWord(r.Verdict),
                       BoolText(r.IsSuspicious),
                       CsvField(r.Reason)}
        .join(u',');
}

QJsonObject ResultJson(const QString& path, const TAudioQualityResult& r) {
    return QJsonObject{
        {QStringLiteral("path"), path},
        {QStringLiteral("bitrate_kbps"), r.BitrateKbps},
        {QStringLiteral("sample_rate"), qint64(r.SampleRate)},
        {QStringLiteral("cutoff_hz"), double(r.CutoffHz)},
        {QStringLiteral("sharp_cutoff"), r.SharpCutoff},
        {QStringLiteral("verdict"), VerdictWord(r.Verdict)},
        {QStringLiteral("suspicious"), r.IsSuspicious},
        {QStringLiteral("reason"), r.Reason},
    };
}

QString JsonLine(const QString& path, const TAudioQualityResult& result) {
    return QString::fromUtf8(
        QJsonDocument(ResultJson(path, result)).toJson(QJsonDocument::Compact));
}

QJsonObject EvidenceJson(const SourceEvidence& e) {
    return QJsonObject{
        {QStringLiteral("codec"), StreamCodecName(e.Codec)},
        {QStringLiteral("wall_hz"), Rounded(e.WallHz, 1.0)},
        {QStringLiteral("knee_hz"), Rounded(e.KneeHz, 1.0)},
        {QStringLiteral("wall_drop_db"), Rounded(e.WallDropDb, 0.1)},
        {QStringLiteral("wall_slope_db_per_khz"), Rounded(e.WallSlopeDbPerKHz, 0.1)},
        {QStringLiteral("above_wall_db"), Rounded(e.AboveWallDb, 0.1)},
        {QStringLiteral("hole_rate"), Rounded(e.HoleRate, 0.001)},
        {QStringLiteral("hole_hz"), Rounded(e.HoleHz, 1.0)},
        {QStringLiteral("hole_baseline"), Rounded(e.HoleBaseline, 0.001)},
        {QStringLiteral("own_wall_hz"), Rounded(e.OwnWallHz, 1.0)},
        {QStringLiteral("frames"), qint64(e.Frames)},
    };
}

QString AssessedCsvHeaderLine() {
    QStringList columns{CsvHeaderLine(), QStringLiteral("assessment"), QStringLiteral("source"),
                        QStringLiteral("explanation")};
    for (const char* key : kEvidenceKeys)
        columns << QString::fromLatin1(key);
    return columns.join(u',');
}

QString CsvLine(const QString& path, const TAudioQualityResult& result,
                const SourceAssessment& source) {
    QStringList fields{CsvLine(path, result), AssessmentWord(source.Kind), CsvField(source.Source),
                       CsvField(source.Explanation)};
    const QJsonObject evidence = EvidenceJson(source.Evidence);
    for (const char* key : kEvidenceKeys) {
        const QJsonValue value = evidence.value(QLatin1String(key));
        fields << (value.isString() ? CsvField(value.toString())
                                    : QString::number(value.toDouble(), 'g', 10));
    }
    return fields.join(u',');
}

QString JsonLine(const QString& path, const TAudioQualityResult& result,
                 const SourceAssessment& source) {
    QString line = JsonLine(path, result);
    line.chop(1); // the closing brace: the new members follow the verdict's
    line += QStringLiteral(",\"assessment\":%1,\"source\":%2,\"explanation\":%3,\"evidence\":%4}")
                .arg(JsonString(AssessmentWord(source.Kind)), JsonString(source.Source),
                     JsonString(source.Explanation), CompactJson(EvidenceJson(source.Evidence)));
    return line;
}
