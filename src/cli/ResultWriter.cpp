#include "cli/ResultWriter.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cmath>

namespace {

constexpr int kMaxPathWidth = 60;

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
                                const QString& verdict, const QString& reason) const {
    QString line = path.leftJustified(m_pathWidth) + QStringLiteral("  ") +
                   bitrate.rightJustified(7) + QStringLiteral("  ") +
                   sampleRate.rightJustified(11) + QStringLiteral("  ") + cutoff.rightJustified(6) +
                   QStringLiteral("  ") + verdict.leftJustified(8) + QStringLiteral("  ") + reason;
    while (line.endsWith(u' '))
        line.chop(1);
    return line;
}

void ResultWriter::writeHeader() {
    switch (m_format) {
    case OutputFormat::Table:
        write(tableLine(QStringLiteral("Filename"), QStringLiteral("Bitrate"),
                        QStringLiteral("Sample Rate"), QStringLiteral("Cutoff"),
                        QStringLiteral("Result"), QStringLiteral("Reason")));
        break;
    case OutputFormat::Csv:
        write(QStringLiteral(
            "path,bitrate_kbps,sample_rate,cutoff_hz,sharp_cutoff,verdict,suspicious,reason"));
        break;
    case OutputFormat::JsonLines:
        break;
    }
}

void ResultWriter::writeRow(const QString& path, const TAudioQualityResult& r) {
    switch (m_format) {
    case OutputFormat::Table:
        write(tableLine(path, QString::number(r.BitrateKbps), QString::number(r.SampleRate),
                        cutoffText(r.CutoffHz), VerdictWord(r.Verdict), r.Reason));
        break;
    case OutputFormat::Csv:
        write(QStringList{
            csvField(path), QString::number(r.BitrateKbps), QString::number(r.SampleRate),
            FloatText(r.CutoffHz), r.SharpCutoff ? QStringLiteral("true") : QStringLiteral("false"),
            VerdictWord(r.Verdict),
            r.IsSuspicious ? QStringLiteral("true") : QStringLiteral("false"), csvField(r.Reason)}
                  .join(u','));
        break;
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
        write(QString::fromUtf8(QJsonDocument(row).toJson(QJsonDocument::Compact)));
        break;
    }
    }
}
