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

QByteArray EncodeStoredReport(const TAudioQualityResult& r) {
    const QJsonObject object{
        {kSampleRate, qint64(r.SampleRate)},
        {kBitrate, r.BitrateKbps},
        {kCutoff, double(r.CutoffHz)},
        {kSharp, r.SharpCutoff},
        {kVerdict, int(r.Verdict)},
        {kSuspicious, r.IsSuspicious},
        {kReason, r.Reason},
    };
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<TAudioQualityResult> DecodeStoredReport(const QByteArray& bytes) {
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

    TAudioQualityResult r;
    r.SampleRate = std::uint32_t(*sampleRate);
    r.BitrateKbps = std::int32_t(*bitrate);
    r.CutoffHz = float(cutoff.toDouble());
    r.SharpCutoff = sharp.toBool();
    r.Verdict = TQualityVerdict(*verdict);
    r.IsSuspicious = suspicious.toBool();
    r.Reason = reason.toString();
    return r;
}
