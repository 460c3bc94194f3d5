#pragma once

#include "analysis/SourceAssessment.h"
#include "results/ResultLines.h"

#include <QList>
#include <QString>

// One row of the window's list, as the export writes it.
struct ExportRow {
    QString Path;
    TAudioQualityResult Result;
    SourceAssessment Source;
};

// The whole export: the lines of `korvane-cli check --format csv|jsonl` for
// `rows`, each ended by a line feed.
QByteArray ResultsFileBytes(ResultLineFormat format, const QList<ExportRow>& rows);

// Writes the export to `fileName` in one piece: the old file (if any) stays
// as it was until the new one is complete. Empty on success, else why not.
QString WriteResultsFile(const QString& fileName, ResultLineFormat format,
                         const QList<ExportRow>& rows);
