#pragma once

#include "analysis/BASS.h"
#include "analysis/FramePower.h"

#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <stop_token>

// Numeric order is the order of severity.
enum TQualityVerdict : std::uint8_t {
    qvOk = 0,
    qvPossible = 1,
    qvLikely = 2,
    qvError = 3,
};

struct TAudioQualityResult {
    std::uint32_t SampleRate = 0; // Hz as the decoder reports it
    std::int32_t BitrateKbps = 0;
    float CutoffHz = 0.0f;    // Nyquist when no cutoff is found; 0 on errors
    bool SharpCutoff = false; // >= 30 dB drop across the cutoff
    TQualityVerdict Verdict = qvOk;
    bool IsSuspicious = false; // Verdict is qvPossible or qvLikely
    QString Reason;            // empty for qvOk
};

using Spectrum1024 = std::array<double, 1024>;

// Decodes the file once and judges its cutoff against its bitrate. Unopenable,
// empty or silent files come back as qvError with a reason, never by exception.
TAudioQualityResult AnalyzeAudioQuality(const QString& path);

// The same, ended early when `stop` is requested: the decoder's reads fail
// from then on, and the result is StoppedAnalysis(), never a verdict on the
// part that was read. Callers that asked for the stop drop that result.
TAudioQualityResult AnalyzeAudioQuality(const QString& path, std::stop_token stop);

// The same, handing every audible frame's power on to `audibleFrame` (when set) and the
// stream's BASS_CHANNELINFO::ctype to `codecType` (when set), so a second
// analysis rides on the same decoding pass; `powerSum` (when set) receives
// the accumulated power of the audible frames.
TAudioQualityResult AnalyzeAudioFile(const QString& path, std::stop_token stop,
                                     const std::function<void(const FramePower&)>& audibleFrame,
                                     std::uint32_t* codecType, Spectrum1024* powerSum);

// What a stopped analysis gives: qvError with the reason "Analysis stopped".
TAudioQualityResult StoppedAnalysis();

// The analysis fed one FFT frame at a time, so a pass that reads the frames
// for something else (the spectrogram) gets exactly what AnalyzeAudioStream
// would give for the same frames.
class AudioQualityPass {
public:
    // Takes what the analysis reads before decoding: the sample rate and the
    // bitrate. `fileSize` as for AnalyzeAudioStream.
    AudioQualityPass(HSTREAM stream, const std::function<std::int64_t()>& fileSize);

    // False once the result no longer depends on frames (no sample rate).
    bool wantsFrames() const { return !m_settled; }
    // The next frame's power per bin (PowerOfFrame of the magnitudes
    // BASS_DATA_FFT2048 gives). True when the frame was audible and counted.
    bool addPower(const FramePower& power);
    // The analysis of the frames added so far.
    TAudioQualityResult result() const;
    // The power summed over the audible frames so far, and their count.
    const Spectrum1024& powerSum() const { return m_powerSum; }
    std::int64_t audibleFrames() const { return m_audibleFrames; }

private:
    TAudioQualityResult m_result;
    bool m_settled = false;
    Spectrum1024 m_powerSum{};
    std::int64_t m_audibleFrames = 0;
};

// A file's size in bytes for the bitrate estimate; -1 when it is gone.
std::int64_t FileSizeOrUnknown(const QString& path);

// The analysis of a stream the caller has opened (and frees). `fileSize` gives
// the whole file's size in bytes (-1 when unknown) for the bitrate estimate of
// a stream that states none; it is called at most once. Reading ends when
// `stop` is requested.
TAudioQualityResult AnalyzeAudioStream(HSTREAM stream,
                                       const std::function<std::int64_t()>& fileSize,
                                       std::stop_token stop = {});

// The rules of the analysis, exposed so each can be checked on its own.
float ExpectedCutoffHz(std::int32_t bitrateKbps);
double BandMeanDb(const Spectrum1024& spectrum, int first, int last);
double BandMedianDb(const Spectrum1024& spectrum, int first, int last);
int FindCutoffBin(const Spectrum1024& smoothed, double floorDb);
void RaiseVerdict(TAudioQualityResult& result, TQualityVerdict verdict, const QString& reason);

// Steps 7 to 17 of the analysis on an accumulated power spectrum: everything
// after decoding. `result` already holds SampleRate and BitrateKbps.
void JudgeSpectrum(TAudioQualityResult& result, const Spectrum1024& powerSum,
                   std::int64_t audibleFrames);

// The words the result list and the command-line tool show for a verdict.
QString VerdictWord(TQualityVerdict verdict);
