#include "analysis/AudioAnalyzer.h"

#include "analysis/BASS.h"
#include "analysis/CutoffText.h"
#include "analysis/FileStream.h"
#include "analysis/StreamGuard.h"
#include "analysis/VectorClones.h"

#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

namespace {

constexpr int kBins = 1024;
constexpr int kAudibleFirst = 10; // ~215 Hz at 44.1 kHz
constexpr int kAudibleLast = 300; // ~6.5 kHz at 44.1 kHz
constexpr double kSilentPower = 0.0001;

// Ties go to the even neighbour, as everywhere in the analysis.
long long RoundHalfEven(double value) {
    return std::llrint(value); // default FP rounding mode is to-nearest-even
}

// A bitrate from a header can be any 64-bit number; the column holds 32 bits.
std::int32_t KbpsFrom(double value) {
    if (!(value > double(std::numeric_limits<std::int32_t>::min())))
        return value < 0.0 ? std::numeric_limits<std::int32_t>::min() : 0; // NaN gives 0
    if (value >= double(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    return std::int32_t(RoundHalfEven(value));
}

QString FormatOneDecimal(double value) {
    return LocaleDecimalText(value, 1);
}

// Feeds `pass` the stream's frames until it has what it needs or `stop` is
// requested; each audible frame's power also goes to `audibleFrame` when set.
void FeedFrames(HSTREAM stream, AudioQualityPass& pass, const std::stop_token& stop,
                const std::function<void(const FramePower&)>& audibleFrame) {
    float frame[kBins];
    FramePower power;
    while (pass.wantsFrames() && !stop.stop_requested() &&
           BASS_ChannelGetData(stream, frame, BASS_DATA_FFT2048) != BASS_DATA_ERROR) {
        PowerOfFrame(frame, power);
        if (pass.addPower(power) && audibleFrame)
            audibleFrame(power);
    }
}

} // namespace

float ExpectedCutoffHz(std::int32_t bitrateKbps) {
    if (bitrateKbps >= 320)
        return 19000.0f;
    if (bitrateKbps >= 256)
        return 18500.0f;
    if (bitrateKbps >= 192)
        return 17000.0f;
    if (bitrateKbps >= 160)
        return 16000.0f;
    if (bitrateKbps >= 128)
        return 15000.0f;
    return 0.0f;
}

double BandMeanDb(const Spectrum1024& spectrum, int first, int last) {
    first = std::max(first, 0);
    last = std::min(last, kBins - 1);
    if (first > last)
        return 0.0;
    double sum = 0.0;
    for (int i = first; i <= last; ++i)
        sum += spectrum[std::size_t(i)];
    return sum / double(last - first + 1);
}

double BandMedianDb(const Spectrum1024& spectrum, int first, int last) {
    first = std::max(first, 0);
    last = std::min(last, kBins - 1);
    if (first > last)
        return 0.0;
    std::vector<double> values(spectrum.begin() + first, spectrum.begin() + last + 1);
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

int FindCutoffBin(const Spectrum1024& smoothed, double floorDb) {
    const double threshold = floorDb + 12.0;
    for (int i = kBins - 1; i >= 2; --i) {
        if (smoothed[std::size_t(i)] > threshold && smoothed[std::size_t(i - 1)] > threshold &&
            smoothed[std::size_t(i - 2)] > threshold)
            return i;
    }
    return -1;
}

void RaiseVerdict(TAudioQualityResult& result, TQualityVerdict verdict, const QString& reason) {
    if (verdict > result.Verdict) {
        result.Verdict = verdict;
        result.Reason = reason;
    }
}

QString VerdictWord(TQualityVerdict verdict) {
    switch (verdict) {
    case qvOk:
        return QStringLiteral("OK");
    case qvPossible:
        return QStringLiteral("Possible");
    case qvLikely:
        return QStringLiteral("Likely");
    case qvError:
        break;
    }
    return QStringLiteral("Error");
}

void JudgeSpectrum(TAudioQualityResult& result, const Spectrum1024& powerSum,
                   std::int64_t audibleFrames) {
    if (audibleFrames <= 0) {
        result.Verdict = qvError;
        result.Reason = QStringLiteral("No usable audio");
        return;
    }
    const double nyquist = result.SampleRate / 2.0;
    const double binWidth = nyquist / kBins;

    Spectrum1024 levelDb{};
    for (int b = 0; b < kBins; ++b)
        levelDb[std::size_t(b)] =
            10.0 * std::log10(powerSum[std::size_t(b)] / double(audibleFrames) + 1e-12);

    Spectrum1024 smoothed{};
    for (int j = 0; j < kBins; ++j)
        smoothed[std::size_t(j)] = BandMeanDb(levelDb, j - 4, j + 4);

    const double floorDb = BandMedianDb(smoothed, 993, 1023);
    const double referenceDb = BandMeanDb(smoothed, int(RoundHalfEven(1000.0 / binWidth)),
                                          int(RoundHalfEven(5000.0 / binWidth)));

    int cutoffBin = -1;
    if (referenceDb - floorDb < 25.0) {
        result.CutoffHz = float(nyquist); // too little range to tell a cutoff
    } else {
        cutoffBin = FindCutoffBin(smoothed, floorDb);
        result.CutoffHz = cutoffBin == -1 ? float(nyquist) : float((cutoffBin + 1) * binWidth);
    }

    if (cutoffBin >= 30 && cutoffBin <= 1005) {
        const double below = BandMeanDb(levelDb, cutoffBin - 30, cutoffBin - 20);
        const double above = BandMeanDb(levelDb, cutoffBin + 8, cutoffBin + 18);
        result.SharpCutoff = below - above >= 30.0;
    }

    result.Verdict = qvOk;
    if (result.SampleRate <= 24000)
        RaiseVerdict(result, qvPossible,
                     QStringLiteral("Low sample rate (%1 Hz)").arg(result.SampleRate));

    const float expected = std::min(ExpectedCutoffHz(result.BitrateKbps), float(0.92 * nyquist));
    if (expected > 0.0f && result.CutoffHz < expected) {
        const double cutoff = result.CutoffHz;
        TQualityVerdict grade = cutoff < double(expected) - 2000.0 ? qvLikely : qvPossible;
        if (result.SharpCutoff && grade == qvPossible)
            grade = qvLikely;
        else if (!result.SharpCutoff && grade == qvLikely && cutoff >= double(expected) - 4000.0)
            grade = qvPossible;
        RaiseVerdict(result, grade,
                     QStringLiteral("Cutoff %1 kHz is below the ~%2 kHz expected for %3 kbps (%4)")
                         .arg(FormatOneDecimal(result.CutoffHz / 1000.0),
                              FormatOneDecimal(expected / 1000.0),
                              QString::number(result.BitrateKbps),
                              result.SharpCutoff
                                  ? QStringLiteral("sharp lowpass, typical of re-encoding")
                                  : QStringLiteral("gradual roll-off, may be source-limited")));
    }
    result.IsSuspicious = result.Verdict == qvPossible || result.Verdict == qvLikely;
}

std::int64_t FileSizeOrUnknown(const QString& path) {
    const QFileInfo file(path);
    return file.exists() ? std::int64_t(file.size()) : std::int64_t(-1);
}

TAudioQualityResult AnalyzeAudioQuality(const QString& path) {
    return AnalyzeAudioQuality(path, std::stop_token());
}

TAudioQualityResult AnalyzeAudioQuality(const QString& path, std::stop_token stop) {
    return AnalyzeAudioFile(path, std::move(stop), nullptr, nullptr, nullptr);
}

TAudioQualityResult AnalyzeAudioFile(const QString& path, std::stop_token stop,
                                     const std::function<void(const FramePower&)>& audibleFrame,
                                     std::uint32_t* codecType, Spectrum1024* powerSum) {
    const HSTREAM stream = CreateFileStream(path, stop);
    if (stop.stop_requested())
        return StoppedAnalysis();
    if (stream == 0) {
        TAudioQualityResult result;
        result.Verdict = qvError;
        result.Reason = QStringLiteral("Cannot open file (BASS error %1)").arg(BASS_ErrorGetCode());
        return result;
    }
    const StreamGuard guard(stream);
    if (codecType) {
        BASS_CHANNELINFO info{};
        BASS_ChannelGetInfo(stream, &info);
        *codecType = info.ctype;
    }
    // Asked only when the stream states no bitrate.
    AudioQualityPass pass(stream, [&path] { return FileSizeOrUnknown(path); });
    FeedFrames(stream, pass, stop, audibleFrame);
    // The spectrum of part of a file says nothing about the file.
    if (stop.stop_requested())
        return StoppedAnalysis();
    if (powerSum)
        *powerSum = pass.powerSum();
    return pass.result();
}

TAudioQualityResult StoppedAnalysis() {
    TAudioQualityResult result;
    result.Verdict = qvError;
    result.Reason = QStringLiteral("Analysis stopped");
    return result;
}

TAudioQualityResult AnalyzeAudioStream(HSTREAM stream,
                                       const std::function<std::int64_t()>& fileSize,
                                       std::stop_token stop) {
    AudioQualityPass pass(stream, fileSize);
    FeedFrames(stream, pass, stop, nullptr);
    return pass.result();
}

AudioQualityPass::AudioQualityPass(HSTREAM stream, const std::function<std::int64_t()>& fileSize) {
    TAudioQualityResult& result = m_result;
    BASS_CHANNELINFO info{};
    BASS_ChannelGetInfo(stream, &info);
    result.SampleRate = info.freq;
    if (result.SampleRate == 0) {
        // Without a sample rate there is no frequency axis to judge on.
        result.Verdict = qvError;
        result.Reason = QStringLiteral("Unknown sample rate");
        m_settled = true;
        return;
    }

    float bitrate = 0.0f;
    if (BASS_ChannelGetAttribute(stream, BASS_ATTRIB_BITRATE, &bitrate) && bitrate > 0.0f) {
        result.BitrateKbps = KbpsFrom(bitrate);
    } else {
        const QWORD bytes = BASS_ChannelGetLength(stream, BASS_POS_BYTE);
        const double seconds = BASS_ChannelBytes2Seconds(stream, bytes);
        if (seconds > 0.0) {
            const double size = double(fileSize());
            result.BitrateKbps = KbpsFrom(size * 8.0 / 1000.0 / seconds);
        }
    }
}

KORVANE_VECTOR_CLONES bool AudioQualityPass::addPower(const FramePower& power) {
    double audible = 0.0;
    for (int b = kAudibleFirst; b <= kAudibleLast; ++b)
        audible += power[std::size_t(b)];
    if (audible < kSilentPower)
        return false;
    for (int b = 0; b < kBins; ++b)
        m_powerSum[std::size_t(b)] += power[std::size_t(b)];
    ++m_audibleFrames;
    return true;
}

TAudioQualityResult AudioQualityPass::result() const {
    TAudioQualityResult result = m_result;
    if (!m_settled)
        JudgeSpectrum(result, m_powerSum, m_audibleFrames);
    return result;
}
