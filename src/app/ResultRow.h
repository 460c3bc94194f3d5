#pragma once

#include "analysis/AudioAnalyzer.h"

#include <QString>
#include <array>

// Indexes of the result list's pictures in the program's 16-pixel image list.
enum TRowImage : int {
    riFileSound = 48,     // every row
    riAcceptButton = 49,  // OK
    riQuestion = 50,      // Possible
    riResultWarning = 51, // Likely
    riCross = 52,         // Error
};

// The picture name behind an image index of the result list ("" when unknown).
QString RowImageName(int imageIndex);

int VerdictImage(TQualityVerdict verdict);

// The texts of columns 1 to 5 (bitrate, sample rate, cutoff, verdict word,
// reason) and the verdict's picture; a row whose analysis raised shows "-"
// everywhere and no picture (image -1).
struct TResultRowTexts {
    std::array<QString, 5> SubItems;
    int VerdictImageIndex = -1;
};

TResultRowTexts RowTextsFor(const TAudioQualityResult& result);
TResultRowTexts RaisedRowTexts();

// A bitrate text that says the file has nothing to draw ("0" or "-").
bool IsNothingToDrawBitrate(const QString& bitrateText);
