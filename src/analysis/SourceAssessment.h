#pragma once

#include "analysis/AudioAnalyzer.h"
#include "analysis/SourceFeatures.h"
#include "analysis/StreamCodec.h"

#include <QString>
#include <cstdint>
#include <stop_token>

// A second opinion beside the cutoff verdict: whether a lossy codec's trace
// lies in a file that claims more, whether its sound ends at a lower sample
// rate's Nyquist frequency, or whether its high end simply rolls off. It is
// computed from the same decoding pass and never changes TAudioQualityResult.
enum class Assessment : std::uint8_t {
    Clean,       // nothing lossy found beyond what the file itself is
    Transcoded,  // a lossy codec's trace below what the file's own coding keeps
    Upsampled,   // the content ends at a lower sample rate's Nyquist frequency
    BandLimited, // the high end ends early, without a codec's trace
    Unknown,     // too little signal to tell
    Error,       // the file cannot be analysed
};

// "clean", "transcoded", "upsampled", "band-limited", "unknown", "error".
QString AssessmentWord(Assessment assessment);
// The same, capitalised for a heading or a cell: "Transcoded".
QString AssessmentTitle(Assessment assessment);

// The figures the opinion was formed on.
struct SourceEvidence {
    StreamCodec Codec = StreamCodec::Unknown;
    float WallHz = 0.0f;     // where the content reaches the floor; 0 when it runs to Nyquist
    float KneeHz = 0.0f;     // where the level starts to fall towards that wall
    float WallDropDb = 0.0f; // from the band below the wall to the level above it
    float WallSlopeDbPerKHz = 0.0f; // how hard the wall is
    float AboveWallDb = 0.0f;       // mean level above the wall, dB per bin re full scale
    float HoleRate = 0.0f;     // how wholly the band below the wall switches on and off (0..0.5)
    float HoleHz = 0.0f;       // where that band starts
    float HoleBaseline = 0.0f; // the same, two to six kilohertz below the wall
    float OwnWallHz = 0.0f;    // lowest band end of the file's own codec at its rate; 0: none
    std::int64_t Frames = 0;   // audible frames
};

struct SourceAssessment {
    Assessment Kind = Assessment::Unknown;
    QString Source;      // the likely source in words, or empty
    QString Explanation; // one sentence for a person
    SourceEvidence Evidence;
};

// The opinion on a file that could not be analysed.
SourceAssessment FailedAssessment();

// The cell text of the window and the table: "Transcoded · MP3 ~128 kbps".
QString AssessmentCellText(const SourceAssessment& assessment);

// The opinion on an analysed file. `quality` is the cutoff verdict of the
// same pass, `powerSum` its accumulated power over the audible frames.
SourceAssessment AssessSource(const TAudioQualityResult& quality, const Spectrum1024& powerSum,
                              const SourceFeatures& features, StreamCodec codec);

struct QualityAndSource {
    TAudioQualityResult Quality;
    SourceAssessment Source;
};

// Both opinions from one decoding pass. Never throws for a bad file: those
// come back as qvError and Assessment::Error.
QualityAndSource AnalyzeQualityAndSource(const QString& path);
// The same, ended early when `stop` is requested: the verdict is then
// StoppedAnalysis() and the assessment Error.
QualityAndSource AnalyzeQualityAndSource(const QString& path, std::stop_token stop);
