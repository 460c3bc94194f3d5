#pragma once

#include "analysis/AudioAnalyzer.h"

#include <QString>
#include <functional>
#include <stop_token>

// What the analysis of one file gave, as the result list and korvane-cli show
// it: the result, or the reason the analysis raised instead of giving one.
struct FileReport {
    QString Path;
    TAudioQualityResult Quality;
    // The analysis raised: the list shows "-" in every column, korvane-cli an
    // error row with RaisedReason. Quality is then left as it was made.
    bool Raised = false;
    QString RaisedReason;
};

// The unit of work of an analysis run: one file, ended early once `stop` is
// requested. A report made after the stop was requested is not the file's:
// whoever requested it drops the report (and a cache must not keep it).
using FileReportFunction = std::function<FileReport(const QString& path, std::stop_token stop)>;

// The program's unit: AnalyzeAudioQuality(path, stop) as a report.
FileReport AnalyzeFile(const QString& path, std::stop_token stop);

// The report of an analysis that raised `reason`.
FileReport RaisedReport(const QString& path, const QString& reason);

// The report as a result row where every row needs a verdict (korvane-cli):
// an analysis that raised is an Error whose reason is "Analysis failed: "
// and what it raised. The window shows such a report as "-" instead.
TAudioQualityResult ResultOrFailure(const FileReport& report);
