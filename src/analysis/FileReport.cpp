#include "analysis/FileReport.h"

FileReport AnalyzeFile(const QString& path, std::stop_token stop) {
    FileReport report;
    report.Path = path;
    QualityAndSource both = AnalyzeQualityAndSource(path, std::move(stop));
    report.Quality = std::move(both.Quality);
    report.Source = std::move(both.Source);
    return report;
}

TAudioQualityResult ResultOrFailure(const FileReport& report) {
    if (!report.Raised)
        return report.Quality;
    TAudioQualityResult failed;
    failed.Verdict = qvError;
    failed.Reason = QStringLiteral("Analysis failed: %1").arg(report.RaisedReason);
    return failed;
}

SourceAssessment AssessmentOrFailure(const FileReport& report) {
    if (!report.Raised)
        return report.Source;
    return FailedAssessment();
}

FileReport RaisedReport(const QString& path, const QString& reason) {
    FileReport report;
    report.Path = path;
    report.Raised = true;
    report.RaisedReason = reason;
    return report;
}
