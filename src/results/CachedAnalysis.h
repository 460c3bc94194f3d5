#pragma once

#include "analysis/SourceAssessment.h"

#include <QString>
#include <functional>
#include <stop_token>

class ResultCache;

// The analysis of one file through the results cache: an unchanged file's
// stored result, else `analyze` and, when the file stayed the same while it
// ran, the result stored for next time. A null cache analyses every file.
// What `analyze` raises passes through and nothing is stored; nor is a result
// made after `stop` was requested (the analysis may have ended early).
QualityAndSource AnalyzeThroughCache(ResultCache* cache, const QString& path,
                                     const std::function<QualityAndSource(const QString&)>& analyze,
                                     std::stop_token stop = {});
