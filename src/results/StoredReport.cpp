#include "results/StoredReport.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>

namespace {

const QString kSampleRate = QStringLiteral("sample_rate");
const QString kBitrate = QStringLiteral("bitrate_kbps");
const QString kCutoff = QStringLiteral("cutoff_hz");
const QString kSharp = QStringLiteral("sharp_cutoff");
const QString kVerdict = QStringLiteral("verdict");
const QString kSuspicious = QStringLiteral("suspicious");
const QString kReason = QStringLiteral("reason");
const QString kAssessment = QStringLiteral("assessment");
const QString kSource = QStringLiteral("source");
const QString kExplanation = QStringLiteral("explanation");
const QString kEvidence = QStringLiteral("evidence");

// The evidence figures that are floats, by key.
struct FloatField {
    const char* Key;
    float SourceEvidence::*Field;
};
constexpr FloatField kEvidenceFloats[] = {
    {"wall_hz", &SourceEvidence::WallHz},
    {"knee_hz", &SourceEvidence::KneeHz},
    {"wall_drop_db", &SourceEvidence::WallDropDb},
    {"wall_slope_db_per_khz", &SourceEvidence::WallSlopeDbPerKHz},
    {"above_wall_db", &SourceEvidence::AboveWallDb},
    {"hole_rate", &SourceEvidence::HoleRate},
    {"hole_hz", &SourceEvidence::HoleHz},
    {"hole_baseline", &SourceEvidence::HoleBaseline},
    {"own_wall_hz", &SourceEvidence::OwnWallHz},
};

// A whole number in [low, high], or nothing.
std::optional<qint64> WholeNumber(const QJsonValue& value, qint64 low, qint64 high) {
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (!(number >= double(low) && number <= double(high)) || std::floor(number) != number)
        return std::nullopt;
    return qint64(number);
}

} // namespace

QByteArray EncodeStoredReport(const QualityAndSource& report) {
    const TAudioQualityResult& r = report.Quality;
    const SourceAssessment& a = report.Source;
    QJsonObject evidence{
        {QStringLiteral("codec"), qint64(a.Evidence.Codec)},
        {QStringLiteral("frames"), qint64(a.Evidence.Frames)},
    };
    for (const FloatField& f : kEvidenceFloats)
        evidence.insert(QLatin1String(f.Key), double(a.Evidence.*f.Field));
    const QJsonObject object{
        {kSampleRate, qint64(r.SampleRate)},
        {kBitrate, r.BitrateKbps},
        {kCutoff, double(r.CutoffHz)},
        {kSharp, r.SharpCutoff},
        {kVerdict, int(r.Verdict)},
        {kSuspicious, r.IsSuspicious},
        {kReason, r.Reason},
        {kAssessment, int(a.Kind)},
        {kSource, a.Source},
        {kExplanation, a.Explanation},
        {kEvidence, evidence},
    };
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<QualityAndSource> DecodeStoredReport(const QByteArray& bytes) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject o = document.object();

    const auto sampleRate = WholeNumber(o.value(kSampleRate), 0, UINT32_MAX);
    const auto bitrate = WholeNumber(o.value(kBitrate), INT32_MIN, INT32_MAX);
    const auto verdict = WholeNumber(o.value(kVerdict), qvOk, qvError);
    const QJsonValue cutoff = o.value(kCutoff);
    const QJsonValue sharp = o.value(kSharp);
    const QJsonValue suspicious = o.value(kSuspicious);
    const QJsonValue reason = o.value(kReason);
    if (!sampleRate || !bitrate || !verdict || !cutoff.isDouble() || !sharp.isBool() ||
        !suspicious.isBool() || !reason.isString() || !std::isfinite(cutoff.toDouble()))
        return std::nullopt;

    const auto kind =
        WholeNumber(o.value(kAssessment), qint64(Assessment::Clean), qint64(Assessment::Error));
    const QJsonValue source = o.value(kSource);
    const QJsonValue explanation = o.value(kExplanation);
    const QJsonObject evidence = o.value(kEvidence).toObject();
    const auto codec = WholeNumber(evidence.value(QStringLiteral("codec")), 0, UINT32_MAX);
    const auto frames = WholeNumber(evidence.value(QStringLiteral("frames")), 0, INT64_MAX / 2);
    if (!kind || !source.isString() || !explanation.isString() || !codec || !frames)
        return std::nullopt;

    QualityAndSource report;
    SourceAssessment& a = report.Source;
    a.Kind = Assessment(*kind);
    a.Source = source.toString();
    a.Explanation = explanation.toString();
    a.Evidence.Codec = StreamCodec(*codec);
    a.Evidence.Frames = *frames;
    for (const FloatField& f : kEvidenceFloats) {
        const QJsonValue value = evidence.value(QLatin1String(f.Key));
        if (!value.isDouble() || !std::isfinite(value.toDouble()))
            return std::nullopt;
        a.Evidence.*f.Field = float(value.toDouble());
    }

    TAudioQualityResult& r = report.Quality;
    r.SampleRate = std::uint32_t(*sampleRate);
    r.BitrateKbps = std::int32_t(*bitrate);
    r.CutoffHz = float(cutoff.toDouble());
    r.SharpCutoff = sharp.toBool();
    r.Verdict = TQualityVerdict(*verdict);
    r.IsSuspicious = suspicious.toBool();
    r.Reason = reason.toString();
    return report;
}
