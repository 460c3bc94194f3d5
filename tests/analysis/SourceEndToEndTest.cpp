// The second opinion on files made by the real encoders from a music-like
// signal: swelling pink noise whose top octaves lie low, as in most music,
// under two steady tones.
#include "analysis/SourceAssessment.h"
#include "support/SameQuality.h"
#include "support/TestMedia.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <string>
#include <tuple>

using namespace testmedia;

namespace {

const QString kMusicLike =
    QStringLiteral("anoisesrc=d=10:c=pink:r=44100:a=0.5:seed=3,highshelf=f=8000:g=-25,"
                   "volume='0.02+0.98*pow(abs(sin(2*PI*t*0.7)),4)':eval=frame[n];"
                   "sine=f=440:d=10:r=44100[a];sine=f=1320:d=10:r=44100[b];"
                   "[n][a][b]amix=inputs=3:weights=1 0.4 0.3,aformat=channel_layouts=stereo");

class SourceEndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = new QTemporaryDir;
        s_master =
            Generate(s_dir->filePath(QStringLiteral("master.flac")), kMusicLike, {"-c:a", "flac"});
    }
    static void TearDownTestSuite() {
        delete s_dir;
        s_dir = nullptr;
    }
    static QString path(const char* name) { return s_dir->filePath(QString::fromLatin1(name)); }
    // `name` made from `input` with the ffmpeg output options.
    static QString Encode(const QString& input, const char* name, const QStringList& options) {
        const QString out = path(name);
        EXPECT_TRUE(
            RunFfmpeg(QStringList{QStringLiteral("-i"), input} + options + QStringList{out}))
            << name;
        return out;
    }

    static inline QTemporaryDir* s_dir = nullptr;
    static inline QString s_master;
};

bool Flagged(const SourceAssessment& a) {
    return a.Kind == Assessment::Transcoded || a.Kind == Assessment::Upsampled;
}

} // namespace

TEST_F(SourceEndToEnd, LosslessMasterIsNotFlagged) {
    const QualityAndSource r = AnalyzeQualityAndSource(s_master);
    EXPECT_FALSE(Flagged(r.Source)) << r.Source.Explanation.toStdString();
    EXPECT_EQ(r.Source.Evidence.Codec, StreamCodec::Flac);
}

TEST_F(SourceEndToEnd, Mp3AtItsOwnRateIsClean) {
    const QString mp3 = Encode(s_master, "own.mp3", {"-c:a", "libmp3lame", "-b:a", "128k"});
    const QualityAndSource r = AnalyzeQualityAndSource(mp3);
    EXPECT_EQ(r.Source.Kind, Assessment::Clean) << r.Source.Explanation.toStdString();
    EXPECT_EQ(r.Source.Evidence.Codec, StreamCodec::Mp3);
    EXPECT_NEAR(r.Source.Evidence.WallHz, 16800.0, 500.0);
}

TEST_F(SourceEndToEnd, Mp3DecodedToLosslessIsTranscoded) {
    const QString mp3 = Encode(s_master, "first.mp3", {"-c:a", "libmp3lame", "-b:a", "128k"});
    for (const auto& [name, options] :
         {std::pair{"mp3.flac", QStringList{"-c:a", "flac"}},
          std::pair{"mp3.wav", QStringList{"-c:a", "pcm_s16le"}},
          std::pair{"mp3-320.mp3", QStringList{"-c:a", "libmp3lame", "-b:a", "320k"}}}) {
        const QualityAndSource r = AnalyzeQualityAndSource(Encode(mp3, name, options));
        EXPECT_EQ(r.Source.Kind, Assessment::Transcoded)
            << name << ": " << r.Source.Explanation.toStdString();
        EXPECT_EQ(r.Source.Source, QStringLiteral("MP3 ~128 kbps")) << name;
        // Its bands switch on and off, or frames end cut off inside the band.
        const SourceEvidence& e = r.Source.Evidence;
        EXPECT_TRUE(e.HoleRate > 2.0 * e.HoleBaseline || e.InnerCutRate >= 0.1)
            << name << ": holes " << e.HoleRate << "/" << e.HoleBaseline << ", cuts "
            << e.InnerCutRate;
    }
}

TEST_F(SourceEndToEnd, OtherCodecsDecodedToLosslessAreTranscoded) {
    // The codecs that leave fewer holes: one stops dead at its band limit,
    // the other codes every band up to 20 kHz and decodes at 48 kHz.
    for (const auto& [name, first, second, source] :
         {std::tuple{"aac.wav", QStringList{"-c:a", "aac", "-b:a", "128k"},
                     QStringList{"-c:a", "pcm_s16le"}, "AAC ~128 kbps"},
          std::tuple{"opus.flac", QStringList{"-c:a", "libopus", "-b:a", "64k"},
                     QStringList{"-c:a", "flac"}, "Opus"}}) {
        const std::string firstName = std::string(name) + ".mkv";
        const QString lossy = Encode(s_master, firstName.c_str(), first);
        const QualityAndSource r = AnalyzeQualityAndSource(Encode(lossy, name, second));
        EXPECT_EQ(r.Source.Kind, Assessment::Transcoded)
            << name << ": " << r.Source.Explanation.toStdString() << " wall "
            << r.Source.Evidence.WallHz << " abrupt " << r.Source.Evidence.AbruptRate << " 20k "
            << r.Source.Evidence.Edge20kRate;
        EXPECT_EQ(r.Source.Source, QString::fromLatin1(source)) << name;
    }
}

TEST_F(SourceEndToEnd, RaisedSampleRateIsUpsampled) {
    const QString low = Encode(s_master, "low.wav", {"-af", "aresample=22050"});
    const QString raised = Encode(low, "raised.flac", {"-af", "aresample=44100", "-c:a", "flac"});
    const QualityAndSource r = AnalyzeQualityAndSource(raised);
    EXPECT_EQ(r.Source.Kind, Assessment::Upsampled) << r.Source.Explanation.toStdString();
    EXPECT_EQ(r.Source.Source, QStringLiteral("22.05 kHz audio"));
}

TEST_F(SourceEndToEnd, SteepLowPassWithoutCodecIsNotFlagged) {
    // Eight poles at 15 kHz: a filter's wall without a codec's holes.
    const QString filtered = Encode(
        s_master, "steep.flac",
        {"-af", "lowpass=f=15000,lowpass=f=15000,lowpass=f=15000,lowpass=f=15000", "-c:a", "flac"});
    const QualityAndSource r = AnalyzeQualityAndSource(filtered);
    EXPECT_FALSE(Flagged(r.Source)) << r.Source.Explanation.toStdString();
}

TEST_F(SourceEndToEnd, SecondOpinionLeavesTheVerdictAlone) {
    const QString mp3 = Encode(s_master, "verdict.mp3", {"-c:a", "libmp3lame", "-b:a", "128k"});
    const QString transcode = Encode(mp3, "verdict.flac", {"-c:a", "flac"});
    for (const QString& file : {s_master, mp3, transcode}) {
        ExpectSameQuality(AnalyzeQualityAndSource(file).Quality, AnalyzeAudioQuality(file),
                          file.toStdString());
    }
}

TEST_F(SourceEndToEnd, UnreadableFileIsAnError) {
    const QString bogus = WriteBytes(path("bogus.mp3"), "not audio");
    const QualityAndSource r = AnalyzeQualityAndSource(bogus);
    EXPECT_EQ(r.Quality.Verdict, qvError);
    EXPECT_EQ(r.Source.Kind, Assessment::Error);
    EXPECT_FALSE(r.Source.Explanation.isEmpty());
    EXPECT_TRUE(r.Quality.Reason.startsWith(QStringLiteral("Cannot open file")));
}
