#pragma once

#include "analysis/AudioAnalyzer.h"

#include <string>

// Expects two analyses to agree field by field, so a failure names the field;
// `context` goes with each failure. Cutoffs are compared bit for bit: the
// same frames give the same sums in the same order.
void ExpectSameQuality(const TAudioQualityResult& a, const TAudioQualityResult& b,
                       const std::string& context = {});
