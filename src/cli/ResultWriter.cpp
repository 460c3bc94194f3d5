#include "cli/ResultWriter.h"

#include "analysis/CutoffText.h"
#include "cli/TerminalText.h"
#include "results/ResultLines.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kMaxPathWidth = 60;

// Wide enough for the usual reasons ("Cutoff 16.0 kHz is below the ~19.0 kHz
// expected for 1411 kbps (sharp lowpass, typical of re-encoding)"), so the
// Assessment column lines up; a longer one pushes its row's cell along.
constexpr int kReasonWidth = 101;

} // namespace

ResultWriter::ResultWriter(std::FILE* out, OutputFormat format, const QStringList& paths)
    : m_out(out), m_format(format) {
    if (format != OutputFormat::Table)
        return;
    for (const QString& path : paths)
        m_pathWidth = std::max(m_pathWidth,
                               int(std::min<qsizetype>(TerminalText(path).size(), kMaxPathWidth)));
}

void ResultWriter::write(const QString& line) {
    const QByteArray bytes = line.toUtf8();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), m_out);
    std::fputc('\n', m_out);
    std::fflush(m_out);
}

// Columns of the result list: the path left, the figures right-aligned. The
// table is for a terminal: what a file name or a reason carries is shown,
// never obeyed.
QString ResultWriter::tableLine(const QString& path, const QString& bitrate,
                                const QString& sampleRate, const QString& cutoff,
                                const QString& verdict, const QString& reason,
                                const QString& assessment) const {
    QString line = TerminalText(path).leftJustified(m_pathWidth) + QStringLiteral("  ") +
                   bitrate.rightJustified(7) + QStringLiteral("  ") +
                   sampleRate.rightJustified(11) + QStringLiteral("  ") + cutoff.rightJustified(6) +
                   QStringLiteral("  ") + verdict.leftJustified(8) + QStringLiteral("  ") +
                   TerminalText(reason).leftJustified(kReasonWidth) + QStringLiteral("  ") +
                   TerminalText(assessment);
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
        write(AssessedCsvHeaderLine());
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
                        CutoffText(r.CutoffHz), VerdictWord(r.Verdict), r.Reason,
                        AssessmentCellText(source)));
        break;
    case OutputFormat::Csv:
        write(CsvLine(path, r, source));
        break;
    case OutputFormat::JsonLines:
        write(JsonLine(path, r, source));
        break;
    }
}
