// The analysis on files made by the real encoders.
#include "analysis/AudioAnalyzer.h"
#include "support/TestMedia.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace testmedia;

namespace {

const QString kNoise = QStringLiteral("anoisesrc=d=6:c=white:r=44100:a=0.5:seed=7");

class AnalyzerEndToEnd : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.filePath(name); }
};

} // namespace

TEST_F(AnalyzerEndToEnd, FullBandNoiseAt320IsOk) {
    const QString mp3 = Generate(path("full.mp3"), kNoise, {"-c:a", "libmp3lame", "-b:a", "320k"});
    const TAudioQualityResult r = AnalyzeAudioQuality(mp3);
    EXPECT_EQ(r.Verdict, qvOk) << r.Reason.toStdString();
    EXPECT_EQ(r.BitrateKbps, 320);
    EXPECT_EQ(r.SampleRate, 44100u);
    EXPECT_GE(r.CutoffHz, 19000.0f);
}

TEST_F(AnalyzerEndToEnd, Steep16kLowpassAt320IsLikelyAndSharp) {
    const QString mp3 = Generate(path("lowpassed.mp3"), kNoise,
                                 {"-c:a", "libmp3lame", "-b:a", "320k", "-cutoff", "16000"});
    const TAudioQualityResult r = AnalyzeAudioQuality(mp3);
    EXPECT_EQ(r.Verdict, qvLikely);
    EXPECT_TRUE(r.SharpCutoff);
    EXPECT_NEAR(r.CutoffHz, 16000.0f, 700.0f);
    EXPECT_TRUE(r.Reason.endsWith(
        QStringLiteral("expected for 320 kbps (sharp lowpass, typical of re-encoding)")))
        << r.Reason.toStdString();
}

TEST_F(AnalyzerEndToEnd, TranscodeFrom128IsCaught) {
    // Stereo, as music is: a mono 128 kbps stream would keep a full band.
    const QString source =
        Generate(path("source128.mp3"), kNoise, {"-ac", "2", "-c:a", "libmp3lame", "-b:a", "128k"});
    const QString transcode = path("transcode320.mp3");
    ASSERT_TRUE(RunFfmpeg({"-i", source, "-c:a", "libmp3lame", "-b:a", "320k", transcode}));
    const TAudioQualityResult r = AnalyzeAudioQuality(transcode);
    EXPECT_TRUE(r.IsSuspicious) << r.Reason.toStdString();
    EXPECT_EQ(r.Verdict, qvLikely);
    EXPECT_EQ(r.BitrateKbps, 320);
}

TEST_F(AnalyzerEndToEnd, GentleRollOffIsPossibleAndGradual) {
    // Eight poles at 10 kHz: a slope of about 48 dB per octave, deep enough to
    // leave a floor, gentle enough across the few hundred hertz measured.
    const QString flac = Generate(
        path("rolloff.flac"),
        kNoise + QStringLiteral(",lowpass=f=10000,lowpass=f=10000,lowpass=f=10000,lowpass=f=10000"),
        {"-c:a", "flac", "-sample_fmt", "s32"});
    const TAudioQualityResult r = AnalyzeAudioQuality(flac);
    EXPECT_EQ(r.Verdict, qvPossible) << r.Reason.toStdString() << " cutoff " << r.CutoffHz;
    EXPECT_FALSE(r.SharpCutoff);
    EXPECT_TRUE(r.Reason.endsWith(QStringLiteral("(gradual roll-off, may be source-limited)")))
        << r.Reason.toStdString();
}

TEST_F(AnalyzerEndToEnd, LowSampleRate) {
    const QString mp3 = Generate(path("low.mp3"), QStringLiteral("anoisesrc=d=4:r=22050:a=0.5"),
                                 {"-c:a", "libmp3lame", "-b:a", "64k"});
    const TAudioQualityResult r = AnalyzeAudioQuality(mp3);
    EXPECT_EQ(r.Verdict, qvPossible);
    EXPECT_EQ(r.Reason, QStringLiteral("Low sample rate (22050 Hz)"));
    EXPECT_EQ(r.SampleRate, 22050u);
}

TEST_F(AnalyzerEndToEnd, SilenceAndDeepToneHaveNoUsableAudio) {
    const QString silence =
        Generate(path("silence.wav"), QStringLiteral("anullsrc=r=44100:cl=stereo:d=3"));
    const QString tone =
        Generate(path("tone100.flac"), QStringLiteral("sine=f=100:r=44100:d=3"), {"-c:a", "flac"});
    for (const QString& file : {silence, tone}) {
        const TAudioQualityResult r = AnalyzeAudioQuality(file);
        EXPECT_EQ(r.Verdict, qvError) << file.toStdString();
        EXPECT_EQ(r.Reason, QStringLiteral("No usable audio")) << file.toStdString();
        EXPECT_EQ(r.SampleRate, 44100u);
        EXPECT_GT(r.BitrateKbps, 0);
        EXPECT_EQ(r.CutoffHz, 0.0f);
    }
}

TEST_F(AnalyzerEndToEnd, UnopenableFile) {
    const QString text = WriteBytes(path("notes.mp3"), "just some words\n");
    const TAudioQualityResult r = AnalyzeAudioQuality(text);
    EXPECT_EQ(r.Verdict, qvError);
    EXPECT_EQ(r.Reason, QStringLiteral("Cannot open file (BASS error 41)"));
    EXPECT_EQ(r.SampleRate, 0u);
    EXPECT_EQ(r.BitrateKbps, 0);
    EXPECT_EQ(r.CutoffHz, 0.0f);
    EXPECT_FALSE(r.IsSuspicious);
}

// Whatever users throw at it: a row with a reason, never a crash or a hang.
TEST_F(AnalyzerEndToEnd, BadInputBecomesAnErrorRowOrItsTrueAnalysis) {
    const QString good = Generate(path("good.mp3"), kNoise, {"-c:a", "libmp3lame", "-b:a", "192k"});
    QFile goodFile(good);
    ASSERT_TRUE(goodFile.open(QIODevice::ReadOnly));
    const QByteArray goodBytes = goodFile.readAll();
    QByteArray random(20000, '\0');
    for (int i = 0; i < random.size(); ++i)
        random[i] = char((i * 2654435761u) >> 13);
    QDir(dir.path()).mkdir(QStringLiteral("Live.mp3"));
    const QString unreadable = WriteBytes(path("locked.mp3"), goodBytes);
    QFile::setPermissions(unreadable, QFileDevice::Permissions{});

    struct Case {
        QString file;
        bool analysable; // true: a real analysis comes back; false: an Error row
        QString reason;  // for error rows
    } cases[] = {
        {WriteBytes(path("zero.mp3"), {}), false, "Cannot open file (BASS error 41)"},
        {WriteBytes(path("random.mp3"), random), false, "Cannot open file (BASS error 41)"},
        {WriteBytes(path("truncated.mp3"), goodBytes.left(goodBytes.size() / 3)), true, {}},
        {WriteBytes(path("text.flac"), "fLaC? no.\n"), false, "Cannot open file (BASS error 41)"},
        {path("Live.mp3"), false, "Cannot open file (BASS error 2)"},
        {WriteBytes(path("Dir with spaces Ünïcödé — ß.mp3"), goodBytes), true, {}},
        {WriteWav(path("short.wav"), SineAtBin(100, 44100, 1500, 0.5f), 44100), true, {}},
    };
    for (const Case& c : cases) {
        const TAudioQualityResult r = AnalyzeAudioQuality(c.file);
        if (c.analysable) {
            EXPECT_NE(r.Verdict, qvError) << c.file.toStdString() << ": " << r.Reason.toStdString();
            EXPECT_GT(r.SampleRate, 0u);
        } else {
            EXPECT_EQ(r.Verdict, qvError) << c.file.toStdString();
            EXPECT_EQ(r.Reason, c.reason) << c.file.toStdString();
        }
    }

    // Root reads any file, so the unreadable case only means something for users.
    const TAudioQualityResult locked = AnalyzeAudioQuality(unreadable);
    if (::geteuid() != 0) {
        EXPECT_EQ(locked.Verdict, qvError);
        EXPECT_EQ(locked.Reason, QStringLiteral("Cannot open file (BASS error 2)"));
    } else {
        EXPECT_NE(locked.Verdict, qvError);
    }
}
