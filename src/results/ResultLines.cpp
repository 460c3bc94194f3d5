#include "results/ResultLines.h"

#include <QJsonDocument>
#include <QLocale>
#include <QStringList>

namespace {

// The shortest text that reads back as the same float.
QString FloatText(float value) {
    return QString::number(double(value), 'g', QLocale::FloatingPointShortest);
}

QString BoolText(bool value) {
    return value ? QStringLiteral("true") : QStringLiteral("false");
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
