#include "ScriptedSource.h"
#include "analysis/AudioAnalyzer.h"

#include <QLocale>
#include <gtest/gtest.h>
#include <vector>

namespace {

Spectrum1024 Filled(double value) {
    Spectrum1024 s;
    s.fill(value);
    return s;
}

// Level profile of the worked example: a 1-5 kHz passband at -45 dB, a shelf
// at -60 dB up to bin 739, then -115 dB with the top 31 bins at -118 dB.
std::vector<double> WorkedExampleProfile(double afterCutoffDb) {
    std::vector<double> db(1024);
    for (int b = 0; b < 1024; ++b) {
        if (b < 700)
            db[b] = -45.0;
        else if (b < 740)
            db[b] = -60.0;
        else if (b < 993)
            db[b] = afterCutoffDb;
        else
            db[b] = -118.0;
    }
    return db;
}

// -45 dB up to bin rampStart, falling in a straight line over rampLength bins
// to -118 dB, which fills the rest.
std::vector<double> RampProfile(int rampStart, int rampLength) {
    std::vector<double> db(1024, -118.0);
    for (int b = 0; b < 1024; ++b) {
        if (b < rampStart)
            db[b] = -45.0;
        else if (b < rampStart + rampLength)
            db[b] = -45.0 - 73.0 * (b - rampStart) / rampLength;
    }
    return db;
}

ScriptedSource SourceWith(const std::vector<double>& profileDb, double kbps,
                          std::uint32_t rate = 44100) {
    ScriptedSource source;
    source.rate = rate;
    source.kbps = kbps;
    source.spectra.assign(20, FrameFromDb(profileDb));
    return source;
}

const QString kFile = QStringLiteral("/virtual/example.mp3");

} // namespace

TEST(ExpectedCutoffHz, ByBitrate) {
    const std::pair<int, float> cases[] = {
        {1000, 19000}, {320, 19000}, {319, 18500}, {256, 18500}, {255, 17000},
        {192, 17000},  {191, 16000}, {160, 16000}, {159, 15000}, {128, 15000},
        {127, 0},      {0, 0},       {-5, 0},
    };
    for (auto [kbps, expected] : cases)
        EXPECT_EQ(ExpectedCutoffHz(kbps), expected) << kbps;
}

TEST(BandMeanDb, MeansAndClamps) {
    Spectrum1024 s{};
    for (int i = 0; i < 1024; ++i)
        s[i] = i;
    struct Case {
        int first, last;
        double mean;
    } cases[] = {
        {10, 20, 15.0},    {-4, 4, 2.0}, {1019, 1027, 1021.0}, {-10, -1, 0.0},
        {1030, 1040, 0.0}, {5, 4, 0.0},  {7, 7, 7.0},
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(BandMeanDb(s, c.first, c.last), c.mean) << c.first << ".." << c.last;
}

TEST(BandMedianDb, ElementAtHalfOfTheSortedRange) {
    Spectrum1024 s = Filled(0.0);
    // 31 values, shuffled: the median is the 16th smallest.
    for (int i = 0; i < 31; ++i)
        s[993 + i] = double((i * 17) % 31) - 100.0;
    EXPECT_DOUBLE_EQ(BandMedianDb(s, 993, 1023), -85.0);
    // An even count takes the upper of the two middle values.
    Spectrum1024 t = Filled(0.0);
    t[0] = 4;
    t[1] = 1;
    t[2] = 3;
    t[3] = 2;
    EXPECT_DOUBLE_EQ(BandMedianDb(t, 0, 3), 3.0);
}

TEST(FindCutoffBin, HighestOfThreeAboveThreshold) {
    struct Case {
        const char* what;
        std::vector<int> hotBins; // bins set to 0 dB; the rest are -100 dB
        int expected;
    } cases[] = {
        {"three in a row", {500, 501, 502}, 502},
        {"two in a row are not enough", {500, 501}, -1},
        {"the highest run wins", {100, 101, 102, 800, 801, 802, 803}, 803},
        {"bins 0 and 1 are never returned", {0, 1}, -1},
        {"bin 2 is the lowest possible", {0, 1, 2}, 2},
        {"top bin", {1021, 1022, 1023}, 1023},
    };
    for (const Case& c : cases) {
        Spectrum1024 s = Filled(-100.0);
        for (int b : c.hotBins)
            s[b] = 0.0;
        EXPECT_EQ(FindCutoffBin(s, -100.0), c.expected) << c.what;
    }
    // Strictly greater than the floor + 12 dB.
    Spectrum1024 edge = Filled(-88.0);
    EXPECT_EQ(FindCutoffBin(edge, -100.0), -1);
}

TEST(RaiseVerdict, OnlyAHigherVerdictReplaces) {
    struct Case {
        TQualityVerdict start;
        TQualityVerdict raised;
        TQualityVerdict end;
        const char* reason;
    } cases[] = {
        {qvOk, qvPossible, qvPossible, "new"},   {qvPossible, qvPossible, qvPossible, "old"},
        {qvPossible, qvLikely, qvLikely, "new"}, {qvLikely, qvPossible, qvLikely, "old"},
        {qvError, qvLikely, qvError, "old"},     {qvOk, qvOk, qvOk, "old"},
    };
    for (const Case& c : cases) {
        TAudioQualityResult r;
        r.Verdict = c.start;
        r.Reason = QStringLiteral("old");
        RaiseVerdict(r, c.raised, QStringLiteral("new"));
        EXPECT_EQ(r.Verdict, c.end);
        EXPECT_EQ(r.Reason, QString::fromLatin1(c.reason));
    }
}

TEST(AnalyzeAudioQuality, WorkedExample) {
    ScopedScriptedFile file(kFile, SourceWith(WorkedExampleProfile(-115.0), 320.0));
    const TAudioQualityResult r = AnalyzeAudioQuality(kFile);
    EXPECT_EQ(r.SampleRate, 44100u);
    EXPECT_EQ(r.BitrateKbps, 320);
    EXPECT_FLOAT_EQ(r.CutoffHz, 15999.169921875f);
    EXPECT_TRUE(r.SharpCutoff);
    EXPECT_EQ(r.Verdict, qvLikely);
    EXPECT_TRUE(r.IsSuspicious);
    EXPECT_EQ(r.Reason,
              QStringLiteral("Cutoff 16.0 kHz is below the ~19.0 kHz expected for 320 kbps "
                             "(sharp lowpass, typical of re-encoding)"));
}

TEST(AnalyzeAudioQuality, WorkedExampleReadAs128KbpsIsOk) {
    ScopedScriptedFile file(kFile, SourceWith(WorkedExampleProfile(-115.0), 128.0));
    const TAudioQualityResult r = AnalyzeAudioQuality(kFile);
    EXPECT_EQ(r.Verdict, qvOk);
    EXPECT_FALSE(r.IsSuspicious);
    EXPECT_TRUE(r.Reason.isEmpty());
}

TEST(AnalyzeAudioQuality, ReasonUsesTheUsersDecimalSeparator) {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    ScopedScriptedFile file(kFile, SourceWith(WorkedExampleProfile(-115.0), 320.0));
    const TAudioQualityResult r = AnalyzeAudioQuality(kFile);
    QLocale::setDefault(QLocale::c());
    EXPECT_TRUE(r.Reason.startsWith(QStringLiteral("Cutoff 16,0 kHz is below the ~19,0 kHz")))
        << r.Reason.toStdString();
}

// The figures in the reason take the user's decimal separator but stay in the
// digits 0-9 whatever digits the locale writes numbers in.
TEST(AnalyzeAudioQuality, ReasonFiguresUseTheLocaleSeparatorAndAsciiDigits) {
    const QLocale locales[] = {
        QLocale(QLocale::English, QLocale::UnitedStates),
        QLocale(QLocale::German, QLocale::Germany),
        QLocale(QLocale::French, QLocale::France),
        QLocale(QLocale::Arabic, QLocale::Egypt),
        QLocale(QLocale::Persian, QLocale::Iran),
        QLocale(QLocale::Bangla, QLocale::Bangladesh),
    };
    ScopedScriptedFile file(kFile, SourceWith(WorkedExampleProfile(-115.0), 320.0));
    for (const QLocale& locale : locales) {
        QLocale::setDefault(locale);
        const TAudioQualityResult r = AnalyzeAudioQuality(kFile);
        QLocale::setDefault(QLocale::c());
        const QString point = locale.decimalPoint();
        const QString expected = QStringLiteral("Cutoff 16") + point +
                                 QStringLiteral("0 kHz is below the ~19") + point +
                                 QStringLiteral("0 kHz");
        EXPECT_TRUE(r.Reason.startsWith(expected))
            << locale.name().toStdString() << ": " << r.Reason.toStdString();
        for (const QChar c : r.Reason)
            EXPECT_TRUE(!c.isDigit() || (c >= u'0' && c <= u'9'))
                << locale.name().toStdString() << ": " << r.Reason.toStdString();
    }
}

// Grades of a cutoff below the expectation: a linear ramp from -45 dB down to
// the floor puts the cutoff where the ramp meets floor + 12 dB; the ramp's
// length decides whether the drop counts as sharp.
TEST(AnalyzeAudioQuality, GradeTable) {
    struct Case {
        const char* what;
        int rampStart;
        int rampLength;
        bool sharp;
        TQualityVerdict verdict;
    } cases[] = {
        // 44.1 kHz at 320 kbps: E = 19000 Hz; E - 4000 = bin ~696, E - 2000 = bin ~789.
        {"sharp, just below E", 860, 20, true, qvLikely},
        {"sharp, far below E", 400, 20, true, qvLikely},
        {"gradual, far below E", 300, 300, false, qvLikely},
        {"gradual, within 4 kHz of E", 488, 300, false, qvPossible},
        {"gradual, within 2 kHz of E", 578, 300, false, qvPossible},
        {"gradual, at or above E", 900, 300, false, qvOk},
    };
    for (const Case& c : cases) {
        const std::vector<double> db = RampProfile(c.rampStart, c.rampLength);
        ScopedScriptedFile file(kFile, SourceWith(db, 320.0));
        const TAudioQualityResult r = AnalyzeAudioQuality(kFile);
        EXPECT_EQ(r.SharpCutoff, c.sharp) << c.what << " cutoff " << r.CutoffHz;
        EXPECT_EQ(r.Verdict, c.verdict) << c.what << " cutoff " << r.CutoffHz;
        if (c.verdict == qvPossible || c.verdict == qvLikely) {
            EXPECT_TRUE(r.Reason.endsWith(
                c.sharp ? QStringLiteral("(sharp lowpass, typical of re-encoding)")
                        : QStringLiteral("(gradual roll-off, may be source-limited)")))
                << c.what;
        }
    }
}

TEST(AnalyzeAudioQuality, SampleRateRules) {
    struct Case {
        std::uint32_t rate;
        double kbps;
        TQualityVerdict verdict;
        const char* reason;
    } cases[] = {
        {24000, 64, qvPossible, "Low sample rate (24000 Hz)"},
        {22050, 64, qvPossible, "Low sample rate (22050 Hz)"},
        {32000, 64, qvOk, ""},
        {48000, 64, qvOk, ""},
    };
    for (const Case& c : cases) {
        // Flat full-band noise: no cutoff, so only the sample rate can count.
        ScopedScriptedFile file(kFile,
                                SourceWith(std::vector<double>(1024, -50.0), c.kbps, c.rate));
        const TAudioQualityResult r = AnalyzeAudioQuality(kFile);
        EXPECT_EQ(r.Verdict, c.verdict) << c.rate;
        EXPECT_EQ(r.Reason, QString::fromLatin1(c.reason)) << c.rate;
        EXPECT_FLOAT_EQ(r.CutoffHz, c.rate / 2.0f) << "no cutoff: the Nyquist frequency";
    }
}

TEST(AnalyzeAudioQuality, LowSampleRateReasonStaysUnlessLikely) {
    // 24 kHz at 128 kbps: E = min(15000, 0.92 * 12000 = 11040).
    struct Case {
        int rampStart, rampLength;
        TQualityVerdict verdict;
        bool lowRateReason;
    } cases[] = {
        {900, 300, qvPossible, true}, // gradual, within 4 kHz: Possible, first reason stays
        {300, 20, qvLikely, false},   // sharp: Likely replaces it
    };
    for (const Case& c : cases) {
        const std::vector<double> db = RampProfile(c.rampStart, c.rampLength);
        ScopedScriptedFile file(kFile, SourceWith(db, 128.0, 24000));
        const TAudioQualityResult r = AnalyzeAudioQuality(kFile);
        EXPECT_EQ(r.Verdict, c.verdict) << r.CutoffHz;
        EXPECT_EQ(r.Reason.startsWith(QStringLiteral("Low sample rate")), c.lowRateReason)
            << r.Reason.toStdString();
    }
}

TEST(AnalyzeAudioQuality, MissingBitrateFallsBackToFileSizeAndDuration) {
    ScriptedSource source = SourceWith(WorkedExampleProfile(-115.0), 0.0);
    source.kbps.reset();
    source.frames = 441000; // 10 s; the virtual file does not exist, so its size reads -1
    ScopedScriptedFile file(kFile, source);
    const TAudioQualityResult r = AnalyzeAudioQuality(kFile);
    EXPECT_EQ(r.BitrateKbps, 0) << "-1 bytes over 10 s rounds to 0: no expectation";
    EXPECT_EQ(r.Verdict, qvOk);
}

TEST(AnalyzeAudioQuality, SilentAndEmptyStreams) {
    ScriptedSource silent = SourceWith(std::vector<double>(1024, -200.0), 256.0);
    ScriptedSource empty = SourceWith(std::vector<double>(1024, -20.0), 256.0);
    empty.spectra.clear();
    for (const ScriptedSource& source : {silent, empty}) {
        ScopedScriptedFile file(kFile, source);
        const TAudioQualityResult r = AnalyzeAudioQuality(kFile);
        EXPECT_EQ(r.Verdict, qvError);
        EXPECT_EQ(r.Reason, QStringLiteral("No usable audio"));
        EXPECT_EQ(r.SampleRate, 44100u);
        EXPECT_EQ(r.BitrateKbps, 256);
        EXPECT_EQ(r.CutoffHz, 0.0f);
    }
}

TEST(AnalyzeAudioQuality, ZeroSampleRateIsAnErrorRow) {
    ScopedScriptedFile file(kFile, SourceWith(WorkedExampleProfile(-115.0), 320.0, 0));
    const TAudioQualityResult r = AnalyzeAudioQuality(kFile);
    EXPECT_EQ(r.Verdict, qvError);
    EXPECT_FALSE(r.Reason.isEmpty());
    EXPECT_EQ(r.CutoffHz, 0.0f);
    EXPECT_FALSE(r.IsSuspicious);
}
