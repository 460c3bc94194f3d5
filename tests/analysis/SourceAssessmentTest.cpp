// The second opinion's rules on spectra and frame counts set up by hand.
#include "analysis/SourceAssessment.h"

#include "analysis/CodecWalls.h"

#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <vector>

namespace {

constexpr std::int64_t kFrames = 400;
constexpr double kBinWidth = 22050.0 / 1024.0;

// The accumulated power of kFrames frames whose level (dB per bin) at each
// frequency `levelAt` gives.
Spectrum1024 PowerSum(const std::function<double(double hz)>& levelAt) {
    Spectrum1024 sum{};
    for (int b = 0; b < 1024; ++b)
        sum[std::size_t(b)] = double(kFrames) * std::pow(10.0, levelAt(b * kBinWidth) / 10.0);
    return sum;
}

// Music-like level: falling a few dB per kilohertz, up to `endHz`, then a
// `floorDb` floor (a codec's or a filter's silence, or a recording's noise).
std::function<double(double)> Wall(double endHz, double floorDb) {
    return [=](double hz) { return hz < endHz ? -50.0 - hz / 2000.0 : floorDb; };
}

// Frame counts in which the band at `holeHz` switches wholly on and off.
SourceFeatures Holes(double holeHz, std::uint32_t empty, std::uint32_t full) {
    SourceFeatures features;
    features.setFrames(kFrames);
    const double bandWidth = SourceFeatures::kBandBins * kBinWidth;
    for (int band = SourceFeatures::kBelowOffset; band < SourceFeatures::kBands - 1; ++band)
        features.setCounts(band, 300, 0, 280);
    const int holeBand = int(holeHz / bandWidth);
    features.setCounts(holeBand, 300, empty, full);
    return features;
}

SourceFeatures NoHoles() {
    return Holes(10000.0, 0, 280);
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
    std::int32_t kbps;
    std::function<double(double)> level;
    SourceFeatures features;
    Assessment expected;
    const char* source;
};

} // namespace

TEST(SourceAssessment, Rules) {
    const Case cases[] = {
        {"lossless, hard wall at 16.9 kHz, silence above, holes below", StreamCodec::Flac, 900,
         Wall(16900.0, -135.0), Holes(16300.0, 90, 120), Assessment::Transcoded, "MP3 ~128 kbps"},
        {"the same wall without holes is a filter's", StreamCodec::Flac, 900, Wall(16900.0, -135.0),
         NoHoles(), Assessment::BandLimited, ""},
        {"holes far below the wall as well are the music's", StreamCodec::Flac, 900,
         Wall(16900.0, -135.0),
         [] {
             SourceFeatures f = Holes(16300.0, 90, 120);
             f.setCounts(int(13000.0 / (16 * kBinWidth)), 300, 90, 120);
             return f;
         }(),
         Assessment::BandLimited, ""},
        {"a noise floor above the wall is no codec's silence", StreamCodec::Flac, 900,
         Wall(16900.0, -95.0), Holes(16300.0, 90, 120), Assessment::BandLimited, ""},
        {"MP3 at 128 kbps with its own wall and holes", StreamCodec::Mp3, 128,
         Wall(16900.0, -135.0), Holes(16300.0, 90, 120), Assessment::Clean, ""},
        {"MP3 at 320 kbps with its own wall at 20.4 kHz", StreamCodec::Mp3, 320,
         Wall(20400.0, -135.0), Holes(19900.0, 90, 120), Assessment::Clean, ""},
        {"MP3 at 320 kbps holding a 128 kbps wall", StreamCodec::Mp3, 320, Wall(16900.0, -135.0),
         Holes(16300.0, 90, 120), Assessment::Transcoded, "MP3 ~128 kbps"},
        {"Vorbis at 192 kbps holding a 16 kHz wall", StreamCodec::Vorbis, 192,
         Wall(16000.0, -135.0), Holes(15500.0, 60, 150), Assessment::Transcoded, "MP3 ~128 kbps"},
        {"full band to Nyquist", StreamCodec::Flac, 900, Wall(30000.0, -135.0), NoHoles(),
         Assessment::Clean, ""},
        {"22.05 kHz audio raised to 44.1 kHz", StreamCodec::Flac, 700, Wall(10900.0, -135.0),
         NoHoles(), Assessment::Upsampled, "22.05 kHz audio"},
        {"32 kHz audio raised to 44.1 kHz", StreamCodec::Pcm, 1411, Wall(15800.0, -135.0),
         NoHoles(), Assessment::Upsampled, "32 kHz audio"},
        {"a low-pass well under 16 kHz is no resampler's", StreamCodec::Flac, 900,
         Wall(14000.0, -135.0), NoHoles(), Assessment::BandLimited, ""},
        {"a gentle roll-off", StreamCodec::Flac, 900, [](double hz) { return -50.0 - hz / 200.0; },
         NoHoles(), Assessment::BandLimited, ""},
    };
    for (const Case& c : cases) {
        const SourceAssessment a =
            AssessSource(Quality(44100, c.kbps), PowerSum(c.level), c.features, c.codec);
        EXPECT_EQ(AssessmentWord(a.Kind), AssessmentWord(c.expected))
            << c.name << ": " << a.Explanation.toStdString() << " (wall " << a.Evidence.WallHz
            << ", holes " << a.Evidence.HoleRate << "/" << a.Evidence.HoleBaseline << ")";
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

    SourceFeatures few = Holes(16300.0, 90, 120);
    few.setFrames(12);
    a = AssessSource(Quality(44100, 900), PowerSum(Wall(16900.0, -135.0)), few, StreamCodec::Flac);
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
        features.addFrame(frame);
    }
    EXPECT_EQ(features.frames(), 200);
    EXPECT_NEAR(features.switching(40, 10), 0.5, 1e-9);
    EXPECT_EQ(features.switching(44, 10), 0.0);
    EXPECT_EQ(features.switching(30, 10), 0.0);
    EXPECT_EQ(features.switching(40, 500), 0.0) << "too few carried frames tell nothing";
    EXPECT_EQ(features.mostSwitchingBand(30, 50, 10), 40);
}

TEST(CodecWalls, OwnWallsAndNames) {
    EXPECT_EQ(OwnWallFloorHz(StreamCodec::Mp3, 320), 19800.0);
    EXPECT_EQ(OwnWallFloorHz(StreamCodec::Mp3, 128), 15500.0);
    EXPECT_EQ(OwnWallFloorHz(StreamCodec::Mp3, 64), 0.0);
    EXPECT_EQ(OwnWallFloorHz(StreamCodec::Flac, 900), 0.0);
    EXPECT_EQ(OwnWallFloorHz(StreamCodec::Opus, 96), 19500.0);
    EXPECT_EQ(LossySourceForWall(16950.0, 44100), QStringLiteral("MP3 ~128 kbps"));
    EXPECT_EQ(LossySourceForWall(20050.0, 48000), QStringLiteral("Opus"));
    EXPECT_EQ(LossySourceForWall(9000.0, 44100), QString());
    EXPECT_EQ(LossySourceForWall(16950.0, 22050), QString()) << "no table below 44.1 kHz";
}
