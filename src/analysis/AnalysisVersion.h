#pragma once

#include <QString>

// Raise this whenever the analysis could answer differently for the same file
// (a rule, a threshold, the decoder, the FFT, a field of the report): results
// kept between runs under an older number are then analysed again.
inline constexpr int kAnalysisVersion = 6;

// kAnalysisVersion with the versions of the FFmpeg libraries in use, which
// decode the sound: an upgrade of those may change an answer too.
QString AnalysisVersionText();
