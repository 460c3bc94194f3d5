#pragma once

#include "analysis/AudioAnalyzer.h"
#include "analysis/SourceAssessment.h"

#include <QString>
#include <QStringList>
#include <cstdio>

enum class OutputFormat { Table, Csv, JsonLines };

// Writes one line per analysed file, as soon as it is known, in one of the
// three formats of `korvane-cli check`.
class ResultWriter {
public:
    // `paths` are all the rows to come, so the table can size its first column.
    ResultWriter(std::FILE* out, OutputFormat format, const QStringList& paths);

    void writeHeader();
    void writeRow(const QString& path, const TAudioQualityResult& result,
                  const SourceAssessment& source);

private:
    void write(const QString& line);
    QString tableLine(const QString& path, const QString& bitrate, const QString& sampleRate,
                      const QString& cutoff, const QString& verdict, const QString& reason,
                      const QString& assessment) const;

    std::FILE* m_out;
    OutputFormat m_format;
    int m_pathWidth = 8;
    int m_reasonWidth = 6;
};
