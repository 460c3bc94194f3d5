#pragma once

#include "analysis/AudioAnalyzer.h"
#include "analysis/SourceAssessment.h"

#include <QJsonObject>
#include <QString>

// One analysed file as a line of `korvane-cli check --format csv|jsonl`; the
// window's export writes the same lines, so the two never drift apart.
enum class ResultLineFormat { Csv, JsonLines };

// The first line of a CSV file; JSON lines have none.
QString CsvHeaderLine();
QString CsvLine(const QString& path, const TAudioQualityResult& result);
QString JsonLine(const QString& path, const TAudioQualityResult& result);
QJsonObject ResultJson(const QString& path, const TAudioQualityResult& result);

// The same with the second opinion: its fields follow the verdict's, which
// keep their text and order (assessment, source, explanation, then the
// evidence: one object in JSON, one column per figure in CSV).
QString AssessedCsvHeaderLine();
QString CsvLine(const QString& path, const TAudioQualityResult& result,
                const SourceAssessment& source);
QString JsonLine(const QString& path, const TAudioQualityResult& result,
                 const SourceAssessment& source);
QJsonObject EvidenceJson(const SourceEvidence& evidence);

// Quoted only when it holds a comma, a quote or a line break; quotes doubled.
QString CsvField(const QString& text);
