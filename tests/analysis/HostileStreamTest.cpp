// Streams that report values no sane file has, behind the real BASS_* calls:
// the analysis must give a clean error or a bounded, well-formed result.
#include "HostileMedia.h"
#include "ScriptedSource.h"
#include "analysis/AudioAnalyzer.h"
#include "analysis/BASS.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace {

const QString kFile = QStringLiteral("/virtual/hostile.mp3");

// Broadband sound down to -100 dB at the top: a full-band file.
ScriptedSource Broadband(int frames = 20) {
    ScriptedSource source;
    source.spectra.assign(std::size_t(frames), FrameFromDb(std::vector<double>(1024, -40.0)));
    return source;
}

} // namespace

TEST(HostileStreams, SampleRateOfZeroIsAnError) {
    ScriptedSource source = Broadband();
    source.rate = 0;
    ScopedScriptedFile file(kFile, source);
    const TAudioQualityResult r = AnalyzeAudioQuality(kFile);
    EXPECT_EQ(r.Verdict, qvError);
    EXPECT_EQ(r.Reason, QStringLiteral("Unknown sample rate"));
    EXPECT_EQ(r.CutoffHz, 0.0f);
}

TEST(HostileStreams, SampleRateOfTenMegahertzStillGivesAWellFormedResult) {
    ScriptedSource source = Broadband();
    source.rate = 10'000'000;
    ScopedScriptedFile file(kFile, source);
    const TAudioQualityResult r = AnalyzeAudioQuality(kFile);
    EXPECT_EQ(r.SampleRate, 10'000'000u);
    EXPECT_EQ(r.Verdict, qvOk) << r.Reason.toStdString();
    EXPECT_EQ(r.CutoffHz, 5'000'000.0f) << "flat to the top: the cutoff is Nyquist";
}

TEST(HostileStreams, ChannelCountsOfZeroAndSixtyFour) {
    for (const int channels : {0, 64}) {
        ScriptedSource source = Broadband();
        source.channelCount = channels;
        source.kbps.reset(); // the bitrate must come from the length
        source.frames = 20 * 2048;
        ScopedScriptedFile file(kFile, source); // the virtual file has no size: -1
        const TAudioQualityResult r = AnalyzeAudioQuality(kFile);
        EXPECT_EQ(r.Verdict, qvOk) << channels;
        EXPECT_EQ(r.BitrateKbps, 0) << channels;
        EXPECT_EQ(r.CutoffHz, 22050.0f) << channels;
    }
}

TEST(HostileStreams, AbsurdBitratesSaturate) {
    struct Case {
        double kbps;
        std::int32_t expected;
    } cases[] = {
        {1e12, std::numeric_limits<std::int32_t>::max()},
        {std::numeric_limits<double>::infinity(), std::numeric_limits<std::int32_t>::max()},
        {std::nan(""), 0}, // not a bitrate: the virtual file's size and length give none either
        {320.4, 320},
    };
    for (const Case& c : cases) {
        ScriptedSource source = Broadband();
        source.kbps = c.kbps;
        ScopedScriptedFile file(kFile, source);
        EXPECT_EQ(AnalyzeAudioQuality(kFile).BitrateKbps, c.expected) << c.kbps;
    }
}

// A length near the 64-bit limit: the byte count saturates instead of wrapping
// to a small number, and only the frames that exist are analysed.
TEST(HostileStreams, ClaimedLengthNearTheLimitDoesNotWrap) {
    int delivered = 0;
    ScriptedSource source = Broadband(5);
    source.frames = std::int64_t(1) << 62;
    source.framesDelivered = &delivered;
    ScopedScriptedFile file(kFile, source);

    const HSTREAM h =
        BASS_StreamCreateFile(FALSE, kFile.utf16(), 0, 0, BASS_STREAM_DECODE | BASS_UNICODE);
    ASSERT_NE(h, 0u);
    const QWORD bytes = BASS_ChannelGetLength(h, BASS_POS_BYTE);
    EXPECT_EQ(bytes, QWORD(std::numeric_limits<std::int64_t>::max()) / 4 * 4);
    EXPECT_GT(BASS_ChannelBytes2Seconds(h, bytes), 1e12);
    BASS_StreamFree(h);

    EXPECT_EQ(AnalyzeAudioQuality(kFile).Verdict, qvOk);
    EXPECT_EQ(delivered, 5);
}
