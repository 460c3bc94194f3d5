#pragma once

#include "analysis/AudioAnalyzer.h"
#include "analysis/SourceAssessment.h"

#include <QString>
#include <functional>
#include <stop_token>

// What the analysis of one file gave, as the result list and korvane-cli show
// it: the result and the second opinion of the same decoding pass, or the
// reason the analysis raised instead of giving them.
struct FileReport {
    QString Path;
    TAudioQualityResult Quality;
    SourceAssessment Source;
    // The analysis raised: the list shows "-" in every column, korvane-cli an
    // error row with RaisedReason. Quality and Source are then left as they
    // were made.
    bool Raised = false;
    QString RaisedReason;
};

// The unit of work of an analysis run: one file, ended early once `stop` is
// requested. A report made after the stop was requested is not the file's:
// whoever requested it drops the report (and a cache must not keep it).
using FileReportFunction = std::function<FileReport(const QString& path, std::stop_token stop)>;

// The program's unit: AnalyzeQualityAndSource(path, stop) as a report.
FileReport AnalyzeFile(const QString& path, std::stop_token stop);

// The report of an analysis that raised `reason`.
FileReport RaisedReport(const QString& path, const QString& reason);

// The report as a result row where every row needs a verdict (korvane-cli):
// an analysis that raised is an Error whose reason is "Analysis failed: "
// and what it raised. The window shows such a report as "-" instead.
TAudioQualityResult ResultOrFailure(const FileReport& report);
// The same for the second opinion: Assessment::Error when the analysis raised.
SourceAssessment AssessmentOrFailure(const FileReport& report);
