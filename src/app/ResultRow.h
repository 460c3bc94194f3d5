#pragma once

#include "analysis/AudioAnalyzer.h"
#include "analysis/SourceAssessment.h"

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
// everywhere and no picture (image -1). The assessment column after them
// shows the second opinion ("Transcoded \u00b7 MP3 ~128 kbps") with its
// explanation as the tool tip.
struct ResultRowTexts {
    std::array<QString, 5> SubItems;
    int VerdictImageIndex = -1;
    QString Assessment;
    QString AssessmentTip;
};

ResultRowTexts RowTextsFor(const TAudioQualityResult& result);
ResultRowTexts RowTextsFor(const TAudioQualityResult& result, const SourceAssessment& source);
// `failure` is what the analysis raised; the assessment cell says "Error"
// and the tool tip tells it, since the reason column only shows "-".
ResultRowTexts RaisedRowTexts(const QString& failure = {});

// A bitrate text that says the file has nothing to draw ("0" or "-").
bool IsNothingToDrawBitrate(const QString& bitrateText);
