// The second opinion's rules on spectra and frame counts set up by hand.
#include "analysis/SourceAssessment.h"

#include "analysis/CodecWalls.h"

#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <vector>

namespace {

constexpr std::int64_t kFrames = 400;

double BinWidth(std::uint32_t rate) {
    return rate / 2.0 / 1024.0;
}

// The accumulated power of kFrames frames whose level (dB per bin) at each
// frequency `levelAt` gives.
Spectrum1024 PowerSum(const std::function<double(double hz)>& levelAt, std::uint32_t rate) {
    Spectrum1024 sum{};
    for (int b = 0; b < 1024; ++b)
        sum[std::size_t(b)] = double(kFrames) * std::pow(10.0, levelAt(b * BinWidth(rate)) / 10.0);
    return sum;
}

// Music-like level: falling a few dB per kilohertz, up to `endHz`, then a
// `floorDb` floor (a codec's or a filter's silence, or a recording's noise).
std::function<double(double)> Wall(double endHz, double floorDb) {
    return [=](double hz) { return hz < endHz ? -50.0 - hz / 2000.0 : floorDb; };
}

// Loud low and middle bands, a quiet top band from 10 kHz up to `endHz`, then
// `floorDb`: too small a drop for silence unless the floor is the
// quantisation floor itself.
std::function<double(double)> QuietWall(double endHz, double floorDb) {
    return [=](double hz) { return hz < 10000.0 ? -80.0 : hz < endHz ? -104.0 : floorDb; };
}

// Where the frames end and how: `ending` frames end at `endHz`, of which
// `cut` with a cut and `abrupt` abruptly.
struct Ends {
    double EndHz;
    std::uint32_t Ending;
    std::uint32_t Cut;
    std::uint32_t Abrupt;
};

// Music changes, so its frames end a little apart: each Ends is spread over
// five bins three bins apart (`steady` puts all of it on one bin instead).
SourceFeatures Features(std::uint32_t rate, std::initializer_list<Ends> ends, bool steady = false) {
    SourceFeatures features;
    features.setFrames(kFrames);
    for (const Ends& e : ends) {
        const int bin = int(std::lround(e.EndHz / BinWidth(rate)));
        if (steady) {
            features.edges().setCounts(bin, e.Ending, e.Cut, e.Abrupt);
            continue;
        }
        for (int k = -2; k <= 2; ++k)
            features.edges().setCounts(bin + 3 * k, e.Ending / 5, e.Cut / 5, e.Abrupt / 5);
    }
    return features;
}

// The band at `hz` wholly empty in 30 % of the frames whose lower band
// carried sound and as full in as many.
SourceFeatures WithSwitching(SourceFeatures features, std::uint32_t rate, double hz) {
    const int band = int(std::lround(hz / BinWidth(rate))) / SourceFeatures::kBandBins;
    features.setCounts(band, 200, 60, 60);
    return features;
}

// Frames that meet their floor along a slope just under the wall.
Ends Sloped(double wallHz) {
    return {wallHz - 150.0, 300, 0, 0};
}
// A codec dropping its top bands: frames cut off a kilohertz under the wall.
Ends CutInside(double wallHz) {
    return {wallHz - 1000.0, 80, 70, 10};
}
// A codec stopping at its band limit: frames stop dead at the wall.
Ends StopDead(double wallHz) {
    return {wallHz - 40.0, 300, 250, 200};
}

TAudioQualityResult Quality(std::uint32_t rate, std::int32_t kbps) {
    TAudioQualityResult quality;
    quality.SampleRate = rate;
    quality.BitrateKbps = kbps;
    quality.Verdict = qvOk;
    return quality;
}

struct Case {
    const char* name;
    StreamCodec codec;
    std::uint32_t rate;
    std::int32_t kbps;
    std::function<double(double)> level;
    SourceFeatures features;
    Assessment expected;
    const char* source;
};

} // namespace

TEST(SourceAssessment, Rules) {
    const Case cases[] = {
        {"lossless, wall at 16.9 kHz, silence above, frames cut inside the band", StreamCodec::Flac,
         44100, 900, Wall(16900.0, -135.0), Features(44100, {Sloped(16900.0), CutInside(16900.0)}),
         Assessment::Transcoded, "MP3 ~128 kbps"},
        {"lossless, wall at 17.4 kHz where the frames stop dead", StreamCodec::Pcm, 44100, 1411,
         Wall(17400.0, -135.0), Features(44100, {StopDead(17400.0)}), Assessment::Transcoded,
         "AAC ~128 kbps"},
        {"a steady signal stopping dead at 17.4 kHz in every frame tells nothing", StreamCodec::Pcm,
         44100, 1411, Wall(17400.0, -135.0), Features(44100, {StopDead(17400.0)}, true),
         Assessment::BandLimited, ""},
        {"the same wall met along a slope is a filter's", StreamCodec::Flac, 44100, 900,
         Wall(16900.0, -135.0), Features(44100, {Sloped(16900.0)}), Assessment::BandLimited, ""},
        {"a noise floor above the wall is no codec's silence", StreamCodec::Flac, 44100, 900,
         Wall(16900.0, -95.0), Features(44100, {Sloped(16900.0), CutInside(16900.0)}),
         Assessment::BandLimited, ""},
        {"too few frames end near the wall to tell", StreamCodec::Flac, 44100, 900,
         Wall(16900.0, -135.0), Features(44100, {{15900.0, 30, 30, 30}}), Assessment::BandLimited,
         ""},
        {"no codec ends its band at 7.5 kHz", StreamCodec::Flac, 44100, 900, Wall(7500.0, -135.0),
         Features(44100, {Sloped(7500.0), CutInside(7500.0)}), Assessment::BandLimited, ""},
        {"quiet music stopping dead at 18.1 kHz over the 16-bit floor", StreamCodec::Pcm, 44100,
         1411, QuietWall(18100.0, -119.0), Features(44100, {StopDead(18100.0)}),
         Assessment::Transcoded, "AAC ~160 kbps"},
        {"the same quiet wall met along a slope", StreamCodec::Pcm, 44100, 1411,
         QuietWall(18100.0, -119.0), Features(44100, {Sloped(18100.0)}), Assessment::BandLimited,
         ""},
        {"the same quiet wall stopping dead over a recording's noise floor", StreamCodec::Pcm,
         44100, 1411, QuietWall(18100.0, -110.0), Features(44100, {StopDead(18100.0)}),
         Assessment::BandLimited, ""},
        {"a band switching on and off 2.4 kHz under the wall is not its own baseline",
         StreamCodec::Flac, 44100, 900, Wall(16900.0, -135.0),
         WithSwitching(Features(44100, {Sloped(16900.0)}), 44100, 16900.0 - 2400.0),
         Assessment::Transcoded, "MP3 ~128 kbps"},
        {"MP3 at 128 kbps with its own wall and cuts", StreamCodec::Mp3, 44100, 128,
         Wall(16900.0, -135.0), Features(44100, {Sloped(16900.0), CutInside(16900.0)}),
         Assessment::Clean, ""},
        {"MP3 at 320 kbps with its own wall at 20.4 kHz", StreamCodec::Mp3, 44100, 320,
         Wall(20400.0, -135.0), Features(44100, {StopDead(20400.0)}), Assessment::Clean, ""},
        {"MP3 at 320 kbps holding a 128 kbps wall", StreamCodec::Mp3, 44100, 320,
         Wall(16900.0, -135.0), Features(44100, {Sloped(16900.0), CutInside(16900.0)}),
         Assessment::Transcoded, "MP3 ~128 kbps"},
        {"MP3 at 320 kbps holding a 128 kbps brick wall, steady music with no flicker",
         StreamCodec::Mp3, 44100, 320, Wall(16900.0, -135.0), Features(44100, {Sloped(16900.0)}),
         Assessment::Transcoded, "MP3 ~128 kbps"},
        {"AAC at 256 kbps holding a 160 kbps brick wall, no flicker", StreamCodec::Aac, 44100, 256,
         Wall(18100.0, -135.0), Features(44100, {Sloped(18100.0)}), Assessment::Transcoded,
         "AAC ~160 kbps"},
        {"the same brick wall over a recording's noise floor", StreamCodec::Mp3, 44100, 320,
         Wall(16900.0, -95.0), Features(44100, {Sloped(16900.0)}), Assessment::BandLimited, ""},
        {"a brick wall where no codec cuts", StreamCodec::Mp3, 44100, 320, Wall(12400.0, -135.0),
         Features(44100, {Sloped(12400.0)}), Assessment::BandLimited, ""},
        {"a codec's wall less than a kilohertz under the file's own", StreamCodec::Mp3, 44100, 192,
         Wall(16900.0, -135.0), Features(44100, {Sloped(16900.0)}), Assessment::BandLimited, ""},
        {"a small fall onto the 16-bit floor", StreamCodec::Mp3, 44100, 320,
         QuietWall(16900.0, -119.0), Features(44100, {Sloped(16900.0)}), Assessment::BandLimited,
         ""},
        {"Vorbis at 192 kbps holding a 16 kHz wall", StreamCodec::Vorbis, 44100, 192,
         Wall(16000.0, -135.0), Features(44100, {Sloped(16000.0), CutInside(16000.0)}),
         Assessment::Transcoded, "MP3 ~128 kbps"},
        {"a lossy file whose music fades out early: its own codec's cuts", StreamCodec::Mp3, 44100,
         320,
         [](double hz) {
             return hz < 15000.0 ? -60.0 : std::max(-60.0 - (hz - 15000.0) / 50.0, -135.0);
         },
         Features(44100, {Sloped(16000.0), CutInside(16000.0)}), Assessment::BandLimited, ""},
        {"full band to Nyquist", StreamCodec::Flac, 44100, 900, Wall(30000.0, -135.0),
         Features(44100, {}), Assessment::Clean, ""},
        {"22.05 kHz audio raised to 44.1 kHz", StreamCodec::Flac, 44100, 700, Wall(10900.0, -135.0),
         Features(44100, {Sloped(10900.0)}), Assessment::Upsampled, "22.05 kHz audio"},
        {"32 kHz audio raised to 44.1 kHz by a brick-wall resampler", StreamCodec::Pcm, 44100, 1411,
         Wall(15800.0, -135.0), Features(44100, {StopDead(15800.0)}), Assessment::Upsampled,
         "32 kHz audio"},
        {"a low-pass well under 16 kHz is no resampler's", StreamCodec::Flac, 44100, 900,
         Wall(14000.0, -135.0), Features(44100, {Sloped(14000.0)}), Assessment::BandLimited, ""},
        {"a gentle roll-off", StreamCodec::Flac, 44100, 900,
         [](double hz) { return -50.0 - hz / 200.0; }, Features(44100, {}), Assessment::BandLimited,
         ""},
        {"a 96 kHz master's resampler wall at 20.5 kHz, steep but passing all", StreamCodec::Flac,
         44100, 900, Wall(20500.0, -135.0), Features(44100, {{20450.0, 300, 150, 90}}),
         Assessment::Clean, ""},
        {"48 kHz lossless ending at 20 kHz frame after frame", StreamCodec::Flac, 48000, 1500,
         Wall(20000.0, -135.0), Features(48000, {{19950.0, 300, 40, 0}}), Assessment::Transcoded,
         "Opus"},
        {"the same at 44.1 kHz is a resampler's wall", StreamCodec::Flac, 44100, 900,
         Wall(20000.0, -135.0), Features(44100, {{19950.0, 300, 40, 0}}), Assessment::Clean, ""},
        {"48 kHz lossless with its wall at 23 kHz", StreamCodec::Flac, 48000, 1500,
         Wall(23000.0, -135.0), Features(48000, {{19950.0, 300, 0, 0}}), Assessment::Clean, ""},
    };
    for (const Case& c : cases) {
        const SourceAssessment a =
            AssessSource(Quality(c.rate, c.kbps), PowerSum(c.level, c.rate), c.features, c.codec);
        EXPECT_EQ(AssessmentWord(a.Kind), AssessmentWord(c.expected))
            << c.name << ": " << a.Explanation.toStdString() << " (wall " << a.Evidence.WallHz
            << ", knee " << a.Evidence.KneeHz << ", edges " << a.Evidence.EdgeFrames << " cut "
            << a.Evidence.InnerCutRate << " abrupt " << a.Evidence.AbruptRate << " 20k "
            << a.Evidence.Edge20kRate << ")";
        EXPECT_EQ(a.Source.toStdString(), c.source) << c.name;
        EXPECT_FALSE(a.Explanation.isEmpty()) << c.name;
    }
}

TEST(SourceAssessment, ErrorsAndTooLittleSound) {
    TAudioQualityResult broken;
    broken.Verdict = qvError;
    broken.Reason = QStringLiteral("No usable audio");
    SourceAssessment a = AssessSource(broken, Spectrum1024{}, SourceFeatures{}, StreamCodec::Mp3);
    EXPECT_EQ(a.Kind, Assessment::Error);
    EXPECT_FALSE(a.Explanation.contains(broken.Reason)) << "the reason is told once, in its column";

    SourceFeatures few = Features(44100, {CutInside(16900.0)});
    few.setFrames(12);
    a = AssessSource(Quality(44100, 900), PowerSum(Wall(16900.0, -135.0), 44100), few,
                     StreamCodec::Flac);
    EXPECT_EQ(a.Kind, Assessment::Unknown);
}

TEST(SourceAssessment, Words) {
    EXPECT_EQ(AssessmentWord(Assessment::BandLimited), QStringLiteral("band-limited"));
    SourceAssessment a;
    a.Kind = Assessment::Transcoded;
    a.Source = QStringLiteral("MP3 ~128 kbps");
    EXPECT_EQ(AssessmentCellText(a), QStringLiteral("Transcoded \u00b7 MP3 ~128 kbps"));
    a.Source.clear();
    a.Kind = Assessment::Clean;
    EXPECT_EQ(AssessmentCellText(a), QStringLiteral("Clean"));
}

TEST(SourceFeatures, SwitchingBandIsToldFromAttenuatedOne) {
    // Band 40 (13.8 kHz) switches wholly on and off; band 44 is always 30 dB
    // under the band a kilohertz below it, as behind a filter's slope.
    SourceFeatures features;
    float frame[1024];
    for (int n = 0; n < 200; ++n) {
        for (int b = 0; b < 1024; ++b) {
            const int band = b / SourceFeatures::kBandBins;
            double db = -40.0;
            if (band == 40 && n % 2 == 0)
                db = -200.0;
            if (band >= 44)
                db = -70.0;
            if (band >= 47)
                db = -200.0;
            frame[b] = float(std::pow(10.0, db / 20.0));
        }
        FramePower power;
        PowerOfFrame(frame, power);
        features.addPower(power);
    }
    EXPECT_EQ(features.frames(), 200);
    EXPECT_NEAR(features.switching(40, 10), 0.5, 1e-9);
    EXPECT_EQ(features.switching(44, 10), 0.0);
    EXPECT_EQ(features.switching(30, 10), 0.0);
    EXPECT_EQ(features.switching(40, 500), 0.0) << "too few carried frames tell nothing";
    EXPECT_EQ(features.mostSwitchingBand(30, 50, 10), 40);
}

TEST(CodecWalls, OwnWallsAndNames) {
    EXPECT_EQ(OwnWallFloorHz(StreamCodec::Mp3, 320), 20000.0);
    EXPECT_EQ(OwnWallFloorHz(StreamCodec::Mp3, 128), 15500.0);
    EXPECT_EQ(OwnWallFloorHz(StreamCodec::Mp3, 64), 0.0);
    EXPECT_EQ(OwnWallFloorHz(StreamCodec::Flac, 900), 0.0);
    EXPECT_EQ(OwnWallFloorHz(StreamCodec::Opus, 96), 19500.0);
    EXPECT_EQ(LossySourceForWall(16950.0, 44100), QStringLiteral("MP3 ~128 kbps"));
    EXPECT_EQ(LossySourceForWall(20050.0, 48000), QStringLiteral("Opus"));
    EXPECT_EQ(LossySourceForWall(9000.0, 44100), QString());
    EXPECT_EQ(LossySourceForWall(16950.0, 22050), QString()) << "no table below 44.1 kHz";
}
