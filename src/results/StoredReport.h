#pragma once

#include "analysis/SourceAssessment.h"

#include <QByteArray>
#include <optional>

// An analysis result as the results cache keeps it: a JSON object, so a new
// field needs no change to the database, only to these two functions.
// Both opinions are kept, the verdict's fields as they were and the second
// opinion beside them, its evidence unrounded so a stored report reads back
// exactly as it was made.
QByteArray EncodeStoredReport(const QualityAndSource& report);
// Nothing unless every field is there with a sound value: a stored report
// that does not read back whole is analysed again, never shown.
std::optional<QualityAndSource> DecodeStoredReport(const QByteArray& bytes);
