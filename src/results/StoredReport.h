#pragma once

#include "analysis/AudioAnalyzer.h"

#include <QByteArray>
#include <optional>

// An analysis result as the results cache keeps it: a JSON object, so a new
// field needs no change to the database, only to these two functions.
QByteArray EncodeStoredReport(const TAudioQualityResult& result);
// Nothing unless every field is there with a sound value: a stored report
// that does not read back whole is analysed again, never shown.
std::optional<TAudioQualityResult> DecodeStoredReport(const QByteArray& bytes);
