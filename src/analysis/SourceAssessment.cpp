#include "analysis/SourceAssessment.h"

#include "analysis/CodecWalls.h"

#include <QLocale>
#include <algorithm>
#include <cmath>

namespace {

constexpr int kBins = 1024;

// Fewer audible frames than this (about two seconds) tell too little.
constexpr std::int64_t kMinFrames = 40;
// The 1-5 kHz band must stand this far above the top of the spectrum for a
// wall to be told at all (as for the cutoff).
constexpr double kMinRangeDb = 25.0;
// Above a lossy codec's wall lies digital silence or the quantisation floor;
// a recording's own noise floor lies higher.
constexpr double kSilentAboveDb = -100.0;
constexpr double kMinSilentDropDb = 20.0;
constexpr double kMinEmptyShareAbove = 0.8;
// Or the level above lies at the quantisation floor of 16-bit sound (its
// undithered distortion reaches about -120 dB per bin here): no recording's
// noise is that low, so a smaller drop from a quiet band below will do when
// the frames themselves were cut there.
constexpr double kQuantisedAboveDb = -115.0;
constexpr double kMinQuantisedDropDb = 12.0;
// Holes: a band below the wall that is wholly empty in at least this share of
// the frames whose lower band carried sound and about as full in as many, and
// clearly more so than the bands further down (quiet passages empty every
// band alike).
constexpr double kMinHoleRate = 0.05;
constexpr double kMinHighHoleRate = 0.10; // for walls from kHighWallHz up
constexpr double kHoleContrast = 2.0;
constexpr double kHoleMargin = 0.02;
constexpr std::uint32_t kMinCarriedFrames = 60;
// Frame ends are judged among the frames whose sound ends from this far
// below the wall to just above it; at least this many of them, and at least
// kMinEvidenceFrames (about half a second) showing the trace.
constexpr double kEdgeZoneHz = 2500.0;
constexpr std::uint64_t kMinEdgeFrames = 40;
constexpr std::uint64_t kMinEvidenceFrames = 20;
// Frames that all end within 5 bins of one place are a steady signal's.
constexpr double kSteadyShare = 0.9;
// Cuts inside the band: frames ending with a cut this far or more under the
// knee of the averaged spectrum, where a filter still passes everything.
// Filtered and resampled music stays under 0.03 here (a gentle analogue-like
// slope 0.07), codecs that drop bands from frame to frame lie at 0.13 and
// well above.
constexpr double kInnerCutBelowKneeHz = 300.0;
constexpr double kMinInnerCutRate = 0.10;
// Brick walls: frames that stop within the window's main lobe. Filters and
// resamplers, however steep, stay under 0.1; codecs that only stop at their
// band limit lie at 0.35 and above.
constexpr double kMinAbruptRate = 0.25;
// Above 19.5 kHz, where resamplers put their anti-alias walls, brick walls
// must be plainer.
constexpr double kHighWallHz = 19500.0;
constexpr double kMinHighAbruptRate = 0.35;
// The fullband codec decoded at 48 kHz: its last band ends at 20 kHz. Music
// resampled to 48 kHz reaches 21 kHz or more.
constexpr double kCeltEndFromHz = 19700.0;
constexpr double kCeltEndToHz = 20250.0;
constexpr double kCeltWallFromHz = 19900.0;
constexpr double kCeltWallToHz = 20800.0;
constexpr double kMinCeltEndRate = 0.5;
// No common encoder at a common rate ends its band lower than this; lower
// walls are the music's, or a lower sample rate's.
constexpr double kLowestCodecWallHz = 10500.0;
// A foreign wall in a lossy file is a brick wall in the averaged spectrum too.
constexpr double kLossyTargetSlope = 30.0;
constexpr double kLossyTargetDropDb = 20.0;
// A wall this far below the lowest band end of the file's own codec was not
// made by it.
constexpr double kForeignMarginHz = 300.0;
// A wall steeper than this (dB per kHz) is a filter's, not a recording's.
constexpr double kSteepSlope = 60.0;
// A lossy file re-codes whatever its input held up to its own low-pass, a
// recording's noise floor included. A brick wall well under that low-pass,
// where another encoder puts its own, with nothing but the quantisation
// floor above, was in the input already: the input was a lossy decode.
// Stationary material shows no flicker, so the wall's shape has to carry
// this alone, and only in a lossy file: a lossless one may hold a master's
// own digital low-pass, which looks the same in the averaged spectrum.
constexpr double kForeignWallMarginHz = 1000.0;
constexpr double kForeignWallSlope = 100.0;
constexpr double kForeignWallDropDb = 40.0;
// Upsampled: a resampler passes the band up to 90-97 % of the lower Nyquist
// frequency (within this much of the level below) ...
constexpr double kUpsampledEdgeDb = 20.0;
// ... and has reached silence, this far down, a little above it (a plain
// resampler leaks images of the top octave just above the old Nyquist).
constexpr double kUpsampledDropDb = 45.0;
constexpr double kUpsampledAboveDb = 25.0;
constexpr double kMinMirrorCorrelation = 0.5;
constexpr double kMirroredDropDb = 20.0;
constexpr double kMinMirrorDetailDb = 0.3; // RMS of the peaks and dips compared
// Below this the high end counts as ended early (a natural low-pass).
constexpr double kBandLimitedBelowHz = 19000.0;

QString Khz(double hz) {
    QLocale locale = QLocale::c();
    return locale.toString(hz / 1000.0, 'f', 1);
}

QString RateText(std::uint32_t rate) {
    // 22050 -> "22.05", 32000 -> "32", 44100 -> "44.1"
    QString text = QLocale::c().toString(rate / 1000.0, 'f', 2);
    while (text.endsWith(u'0'))
        text.chop(1);
    if (text.endsWith(u'.'))
        text.chop(1);
    return text;
}

struct WallShape {
    bool Found = false;
    int Bin = -1;
    double EndHz = 0.0;
    double KneeHz = 0.0;
    int KneeBin = -1;
    double DropDb = 0.0;
    double SlopeDbPerKHz = 0.0;
    double AboveDb = 0.0;
};

// Where the averaged spectrum ends and how it falls there.
WallShape MeasureWall(const Spectrum1024& powerSum, std::int64_t frames, double binWidth) {
    Spectrum1024 levelDb{};
    for (int b = 0; b < kBins; ++b)
        levelDb[std::size_t(b)] =
            10.0 * std::log10(powerSum[std::size_t(b)] / double(frames) + 1e-12);
    Spectrum1024 smoothed{};
    for (int j = 0; j < kBins; ++j)
        smoothed[std::size_t(j)] = BandMeanDb(levelDb, j - 4, j + 4);

    WallShape wall;
    const double floorDb = BandMedianDb(smoothed, 993, 1023);
    const double referenceDb = BandMeanDb(smoothed, int(std::lround(1000.0 / binWidth)),
                                          int(std::lround(5000.0 / binWidth)));
    if (referenceDb - floorDb < kMinRangeDb)
        return wall;
    const int bin = FindCutoffBin(smoothed, floorDb);
    if (bin < 80 || bin >= 1000)
        return wall; // runs to Nyquist, or too low to measure a shape
    wall.Found = true;
    wall.Bin = bin;
    wall.EndHz = (bin + 1) * binWidth;
    const double passDb = BandMeanDb(levelDb, bin - 70, bin - 25);
    wall.AboveDb = bin + 6 <= kBins - 1
                       ? BandMeanDb(levelDb, bin + 6, std::min(bin + 60, kBins - 1))
                       : floorDb;
    wall.DropDb = passDb - wall.AboveDb;
    int knee = bin;
    while (knee > 0 && smoothed[std::size_t(knee)] < passDb - 6.0)
        --knee;
    wall.KneeBin = knee;
    wall.KneeHz = (knee + 1) * binWidth;
    const double fallDb = (passDb - 6.0) - (floorDb + 12.0);
    const double widthKHz = std::max(wall.EndHz - wall.KneeHz, binWidth) / 1000.0;
    wall.SlopeDbPerKHz = std::max(fallDb, 0.0) / widthKHz;
    return wall;
}

// How closely the fine structure of the spectrum (its peaks and dips, the
// level less its local mean) just above `centreBin` mirrors that just below.
double MirrorCorrelation(const Spectrum1024& levelDb, double centreBin, int reach) {
    auto detail = [&](int bin) {
        return levelDb[std::size_t(bin)] - BandMeanDb(levelDb, bin - 6, bin + 6);
    };
    double sumXY = 0.0, sumXX = 0.0, sumYY = 0.0;
    int count = 0;
    for (int d = 3; d <= reach; ++d) {
        const int below = int(std::lround(centreBin - d));
        const int above = int(std::lround(centreBin + d));
        if (below < 0 || above > kBins - 1)
            break;
        const double x = detail(below);
        const double y = detail(above);
        sumXY += x * y;
        sumXX += x * x;
        sumYY += y * y;
        ++count;
    }
    // A smooth spectrum has no peaks to mirror: it proves nothing.
    if (count < 8 || sumXX < kMinMirrorDetailDb * kMinMirrorDetailDb * count ||
        sumYY < kMinMirrorDetailDb * kMinMirrorDetailDb * count)
        return 0.0;
    return sumXY / std::sqrt(sumXX * sumYY);
}

// The lower sample rate whose Nyquist frequency the sound ends at, or 0: the
// band carries sound up to 93-97 % of it and lies silent from 15 % above it.
std::uint32_t UpsampledFrom(const Spectrum1024& powerSum, std::int64_t frames,
                            std::uint32_t sampleRate, double endHz) {
    const double binWidth = sampleRate / 2.0 / kBins;
    Spectrum1024 levelDb{};
    for (int b = 0; b < kBins; ++b)
        levelDb[std::size_t(b)] =
            10.0 * std::log10(powerSum[std::size_t(b)] / double(frames) + 1e-12);
    auto mean = [&](double fromHz, double toHz) {
        return BandMeanDb(levelDb, int(std::lround(fromHz / binWidth)),
                          int(std::lround(toHz / binWidth)));
    };
    const double nyquist = sampleRate / 2.0;
    for (const std::uint32_t rate : kLowerRates) {
        const double low = rate / 2.0;
        if (low >= nyquist * 0.97)
            break;
        const double stopFrom = std::min(low * 1.15, low + (nyquist - low) / 2.0);
        const double stopTo = std::min(low * 1.6, nyquist * 0.99);
        if (stopTo - stopFrom < 4.0 * binWidth)
            continue;
        const double pass = mean(low * 0.80, low * 0.90);
        const double edge = mean(low * 0.93, low * 0.97);
        const double stop = mean(stopFrom, stopTo);
        // Right above the old Nyquist frequency the level has already fallen
        // far: sound that goes on there (a codec's band) was never cut here.
        const double above = mean(low * 1.03, std::min(low * 1.10, nyquist * 0.99));
        if (stop > kSilentAboveDb)
            continue;
        // A clean resampler: the band is carried close to the old Nyquist
        // frequency and has fallen far right above it.
        if (endHz <= low + 2.0 * binWidth && pass - stop >= kUpsampledDropDb &&
            pass - edge <= kUpsampledEdgeDb && pass - above >= kUpsampledAboveDb)
            return rate;
        // A plain one leaks images: what lies above the old Nyquist frequency
        // is the mirror of what lies below it, peak for peak.
        if (endHz <= low * 1.2 && pass - stop >= kMirroredDropDb &&
            MirrorCorrelation(levelDb, low / binWidth, int(std::lround(low * 0.10 / binWidth))) >=
                kMinMirrorCorrelation)
            return rate;
    }
    return 0;
}

} // namespace

QString AssessmentWord(Assessment assessment) {
    switch (assessment) {
    case Assessment::Clean:
        return QStringLiteral("clean");
    case Assessment::Transcoded:
        return QStringLiteral("transcoded");
    case Assessment::Upsampled:
        return QStringLiteral("upsampled");
    case Assessment::BandLimited:
        return QStringLiteral("band-limited");
    case Assessment::Unknown:
        return QStringLiteral("unknown");
    case Assessment::Error:
        break;
    }
    return QStringLiteral("error");
}

QString AssessmentTitle(Assessment assessment) {
    QString word = AssessmentWord(assessment);
    if (!word.isEmpty())
        word[0] = word[0].toUpper();
    return word;
}

SourceAssessment FailedAssessment() {
    SourceAssessment out;
    out.Kind = Assessment::Error;
    out.Explanation = QStringLiteral("The file could not be analysed; the reason says why.");
    return out;
}

QString AssessmentCellText(const SourceAssessment& assessment) {
    const QString title = AssessmentTitle(assessment.Kind);
    if (assessment.Source.isEmpty())
        return title;
    return title + QStringLiteral(" \u00b7 ") + assessment.Source;
}

SourceAssessment AssessSource(const TAudioQualityResult& quality, const Spectrum1024& powerSum,
                              const SourceFeatures& features, StreamCodec codec) {
    SourceAssessment out;
    SourceEvidence& e = out.Evidence;
    e.Codec = codec;
    e.Frames = features.frames();
    if (quality.Verdict == qvError) {
        out.Kind = Assessment::Error;
        out.Explanation = FailedAssessment().Explanation;
        return out;
    }
    if (e.Frames < kMinFrames || quality.SampleRate == 0) {
        out.Kind = Assessment::Unknown;
        out.Explanation = QStringLiteral("Too little sound to tell where it came from.");
        return out;
    }

    const double nyquist = quality.SampleRate / 2.0;
    const double binWidth = nyquist / kBins;
    const double ownWall = OwnWallFloorHz(codec, quality.BitrateKbps);
    e.OwnWallHz = float(ownWall);
    const WallShape wall = MeasureWall(powerSum, e.Frames, binWidth);
    const QString codecName = StreamCodecName(codec);

    if (!wall.Found) {
        out.Kind = Assessment::Clean;
        out.Explanation =
            QStringLiteral("The sound reaches the top of the band with no lossy codec's trace.");
        return out;
    }
    e.WallHz = float(wall.EndHz);
    e.KneeHz = float(wall.KneeHz);
    e.WallDropDb = float(wall.DropDb);
    e.WallSlopeDbPerKHz = float(wall.SlopeDbPerKHz);
    e.AboveWallDb = float(wall.AboveDb);

    // Holes: the band that switches most wholly on and off, from 2.5 kHz
    // below the wall to the wall, against the same two to six kilohertz lower.
    const int endBand = wall.Bin / SourceFeatures::kBandBins;
    const int bandsPerKHz =
        std::max(1, int(std::lround(1000.0 / binWidth / SourceFeatures::kBandBins)));
    const int nearFirst = endBand - (5 * bandsPerKHz) / 2;
    // The baseline lies wholly below the bands judged: a band counted in both
    // would match itself and hide its own switching.
    const int farLast = nearFirst - 1;
    const int farFirst = endBand - 6 * bandsPerKHz;
    const int nearBand = features.mostSwitchingBand(nearFirst, endBand, kMinCarriedFrames);
    const int farBand = features.mostSwitchingBand(farFirst, farLast, kMinCarriedFrames);
    e.HoleRate = float(features.switching(nearBand, kMinCarriedFrames));
    e.HoleBaseline = float(features.switching(farBand, kMinCarriedFrames));
    e.HoleHz = nearBand < 0 ? 0.0f : float(nearBand * SourceFeatures::kBandBins * binWidth);
    const double minHoleRate = wall.EndHz >= kHighWallHz ? kMinHighHoleRate : kMinHoleRate;
    const bool holes =
        e.HoleRate >= minHoleRate && e.HoleRate >= kHoleContrast * e.HoleBaseline + kHoleMargin;

    // How the frames end near the wall.
    const FrameEdges& edges = features.edges();
    const auto binOf = [binWidth](double hz) { return int(std::lround(hz / binWidth)); };
    const int zoneFirst = wall.Bin - binOf(kEdgeZoneHz);
    const int zoneLast = wall.Bin + 3;
    const std::uint64_t zone = edges.endingIn(zoneFirst, zoneLast);
    const std::uint64_t innerCuts =
        edges.cutIn(zoneFirst, wall.KneeBin - binOf(kInnerCutBelowKneeHz));
    const std::uint64_t abrupt = edges.abruptIn(zoneFirst, zoneLast);
    const std::uint64_t at20k = edges.endingIn(std::max(zoneFirst, binOf(kCeltEndFromHz)),
                                               std::min(zoneLast, binOf(kCeltEndToHz)));
    e.EdgeFrames = std::int64_t(zone);
    const double zoneShare = 1.0 / double(std::max<std::uint64_t>(zone, 1));
    e.InnerCutRate = float(double(innerCuts) * zoneShare);
    e.AbruptRate = float(double(abrupt) * zoneShare);
    e.Edge20kRate = float(double(at20k) * zoneShare);
    // A steady signal (a test tone, a drone) ends at the same place in every
    // frame whatever made it: only music that changes shows how its frames
    // were cut.
    std::uint64_t steadiest = 0;
    for (int bin = zoneFirst; bin <= zoneLast; ++bin)
        steadiest = std::max(steadiest, edges.endingIn(bin - 2, bin + 2));
    const bool steady = double(steadiest) >= kSteadyShare * double(zone);
    const bool enoughEdges = zone >= kMinEdgeFrames && !steady;
    // A codec that drops its top bands for a frame leaves cuts inside the
    // band; no filter does.
    const bool innerCut =
        enoughEdges && innerCuts >= kMinEvidenceFrames && e.InnerCutRate >= kMinInnerCutRate;
    // Where resamplers put their walls, a brick wall needs to be plainer.
    const bool highWall = wall.EndHz >= kHighWallHz && !IsLossy(codec);
    const bool brickWall = enoughEdges && abrupt >= kMinEvidenceFrames &&
                           e.AbruptRate >= (highWall ? kMinHighAbruptRate : kMinAbruptRate);
    // The fullband codec decoded at 48 kHz codes bands up to 20 kHz and not a
    // bin above: frame after frame ends right there.
    const bool celtEnd = quality.SampleRate == 48000 && enoughEdges &&
                         wall.EndHz >= kCeltWallFromHz && wall.EndHz <= kCeltWallToHz &&
                         wall.KneeHz >= kCeltEndFromHz && wall.KneeHz <= kCeltEndToHz &&
                         e.Edge20kRate >= kMinCeltEndRate;
    // Music that fades out flickers in its top band too; frames that end with
    // a cut at or under the wall are a coder's own doing.
    const bool framesCutAtWall = innerCut || brickWall || celtEnd;
    // Silence above: a low mean level, or (when a few loud frames lift the
    // mean) the band above the wall empty in nearly every frame.
    const bool silentAbove =
        (wall.AboveDb <= kSilentAboveDb && wall.DropDb >= kMinSilentDropDb) ||
        (wall.AboveDb <= kQuantisedAboveDb && wall.DropDb >= kMinQuantisedDropDb &&
         framesCutAtWall) ||
        features.emptyShare(endBand + 1, std::min(endBand + 3, SourceFeatures::kBands - 2),
                            kMinCarriedFrames) >= kMinEmptyShareAbove;
    // What the file's own coding keeps: a lossless file all of its band.
    const double ownEnd = IsLossy(codec) ? ownWall : nyquist;
    const bool foreign = ownEnd > 0.0 && wall.EndHz < ownEnd - kForeignMarginHz;
    // A lossy file's own codec leaves cuts and brick walls of its own where
    // the music ends early; a wall another codec left is a brick wall in
    // the averaged spectrum as well, where music fades.
    const bool wallOfACodec = wall.EndHz >= kLowestCodecWallHz &&
                              (!IsLossy(codec) || (wall.SlopeDbPerKHz >= kLossyTargetSlope &&
                                                   wall.DropDb >= kLossyTargetDropDb));
    const QString namedWall = LossySourceForWall(wall.EndHz, quality.SampleRate);
    const bool foreignBrickWall =
        IsLossy(codec) && !namedWall.isEmpty() && wall.EndHz < ownEnd - kForeignWallMarginHz &&
        wall.SlopeDbPerKHz >= kForeignWallSlope && wall.DropDb >= kForeignWallDropDb &&
        wall.AboveDb <= kSilentAboveDb;
    const bool lossyTrace = holes || innerCut || brickWall || celtEnd;
    const bool transcoded =
        silentAbove && foreign && wallOfACodec && (lossyTrace || foreignBrickWall);

    // A resampler's wall may be as steep as a codec's, but cuts no band away
    // inside what it passes and switches none on and off.
    const std::uint32_t lowerRate =
        UpsampledFrom(powerSum, e.Frames, quality.SampleRate, wall.EndHz);
    const bool upsampled =
        lowerRate != 0 && (ownEnd <= 0.0 || lowerRate / 2.0 < ownEnd - kForeignMarginHz);
    const bool bandsDropped = holes || innerCut;

    if (transcoded && (bandsDropped || !upsampled)) {
        out.Kind = Assessment::Transcoded;
        out.Source = celtEnd ? QStringLiteral("Opus") : namedWall;
        const QString from = out.Source.isEmpty() ? QStringLiteral("a lossy encoding") : out.Source;
        const QString trace =
            holes       ? QStringLiteral("bands switching on and off below it")
            : innerCut  ? QStringLiteral("frames cut off well inside the band below it")
            : brickWall ? QStringLiteral("frames that stop dead at it")
            : celtEnd   ? QStringLiteral("frames that end exactly at a codec's 20 kHz band edge")
                        : QStringLiteral("a brick-wall fall where that codec cuts");
        out.Explanation = QStringLiteral("A wall at %1 kHz with %2 and silence above lies under "
                                         "what this %3 file keeps: it was made from %4.")
                              .arg(Khz(wall.EndHz), trace, codecName, from);
        return out;
    }
    if (upsampled) {
        out.Kind = Assessment::Upsampled;
        out.Source = QStringLiteral("%1 kHz audio").arg(RateText(lowerRate));
        out.Explanation =
            QStringLiteral("The sound ends at %1 kHz, the top of %2 kHz audio, "
                           "inside a %3 kHz file: it was upsampled.")
                .arg(Khz(wall.EndHz), RateText(lowerRate), RateText(quality.SampleRate));
        return out;
    }
    if (ownEnd > 0.0 && IsLossy(codec) && !foreign) {
        out.Kind = Assessment::Clean;
        out.Explanation = QStringLiteral("The band ends at %1 kHz, where this %2 file's own "
                                         "encoder puts its low-pass at %3 kbps.")
                              .arg(Khz(wall.EndHz), codecName)
                              .arg(quality.BitrateKbps);
        return out;
    }
    if (wall.EndHz < std::min(kBandLimitedBelowHz, 0.9 * nyquist)) {
        out.Kind = Assessment::BandLimited;
        out.Explanation =
            lossyTrace ? QStringLiteral("The band ends at %1 kHz with a codec's marks below it, "
                                        "but nothing proves another codec's: the source may "
                                        "simply end there.")
                             .arg(Khz(wall.EndHz))
            : wall.SlopeDbPerKHz >= kSteepSlope
                ? QStringLiteral("A steep low-pass at %1 kHz without a lossy codec's marks: "
                                 "the source was filtered, not encoded.")
                      .arg(Khz(wall.EndHz))
                : QStringLiteral("The high end rolls off gently towards %1 kHz, as a "
                                 "recording's own bandwidth does, not as a codec cuts.")
                      .arg(Khz(wall.EndHz));
        return out;
    }
    out.Kind = Assessment::Clean;
    out.Explanation =
        QStringLiteral("The band reaches %1 kHz with no lossy codec's trace.").arg(Khz(wall.EndHz));
    return out;
}

QualityAndSource AnalyzeQualityAndSource(const QString& path) {
    return AnalyzeQualityAndSource(path, std::stop_token());
}

QualityAndSource AnalyzeQualityAndSource(const QString& path, std::stop_token stop) {
    SourceFeatures features;
    std::uint32_t codecType = 0;
    Spectrum1024 powerSum{};
    QualityAndSource both;
    both.Quality = AnalyzeAudioFile(
        path, std::move(stop), [&features](const FramePower& power) { features.addPower(power); },
        &codecType, &powerSum);
    both.Source = AssessSource(both.Quality, powerSum, features, StreamCodec(codecType));
    return both;
}
