#include "analysis/BASS.h"
#include "support/TestMedia.h"

#include <QDir>
#include <QTemporaryDir>
#include <array>
#include <cmath>
#include <gtest/gtest.h>

using namespace testmedia;

namespace {

// Opens a stream and frees it when the test is done with it.
struct Stream {
    explicit Stream(const QString& path)
        : handle(
              BASS_StreamCreateFile(FALSE, path.utf16(), 0, 0, BASS_STREAM_DECODE | BASS_UNICODE)),
          error(BASS_ErrorGetCode()) {}
    ~Stream() {
        if (handle)
            BASS_StreamFree(handle);
    }
    HSTREAM handle;
    int error;
};

std::array<float, 1024> NextFrame(HSTREAM handle, DWORD* ret = nullptr) {
    std::array<float, 1024> frame{};
    const DWORD r = BASS_ChannelGetData(handle, frame.data(), BASS_DATA_FFT2048);
    if (ret)
        *ret = r;
    return frame;
}

int CountFrames(HSTREAM handle) {
    int frames = 0;
    std::array<float, 1024> frame{};
    while (BASS_ChannelGetData(handle, frame.data(), BASS_DATA_FFT2048) != BASS_DATA_ERROR)
        ++frames;
    return frames;
}

float ReadBitrate(HSTREAM handle) {
    float kbps = -1.0f;
    EXPECT_TRUE(BASS_ChannelGetAttribute(handle, BASS_ATTRIB_BITRATE, &kbps));
    return kbps;
}

class DecoderTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.filePath(name); }
};

} // namespace

TEST_F(DecoderTest, FullScaleSineAtBinCentreGivesOne) {
    const QString wav = WriteWav(path("sine.wav"), SineAtBin(100, 44100, 44100, 0.999f), 44100);
    Stream s(wav);
    ASSERT_NE(s.handle, 0u) << s.error;
    NextFrame(s.handle); // the first frame is as good as any: the tone starts at sample 0
    const auto frame = NextFrame(s.handle);
    EXPECT_NEAR(frame[100], 0.999, 0.01);
    EXPECT_LT(frame[90], 1e-3);
    EXPECT_LT(frame[300], 1e-3);
}

TEST_F(DecoderTest, ChannelsAreAveraged) {
    const auto tone = SineAtBin(200, 44100, 8192, 0.8f);
    std::vector<float> opposite, oneSided;
    for (float v : tone) {
        opposite.insert(opposite.end(), {v, -v});
        oneSided.insert(oneSided.end(), {v, 0.0f});
    }
    {
        Stream s(WriteWav(path("opposite.wav"), opposite, 44100, 2));
        ASSERT_NE(s.handle, 0u);
        EXPECT_LT(NextFrame(s.handle)[200], 1e-3) << "opposite channels cancel in the mean";
    }
    {
        Stream s(WriteWav(path("onesided.wav"), oneSided, 44100, 2));
        ASSERT_NE(s.handle, 0u);
        EXPECT_NEAR(NextFrame(s.handle)[200], 0.4, 0.01);
    }
}

TEST_F(DecoderTest, LengthSecondsAndFrameCountFollowTheSampleCount) {
    const int frames = 10000; // 4 whole FFT frames and a partial one
    std::vector<float> stereo(std::size_t(frames) * 2, 0.25f);
    Stream s(WriteWav(path("len.wav"), stereo, 48000, 2));
    ASSERT_NE(s.handle, 0u);
    BASS_CHANNELINFO info{};
    ASSERT_TRUE(BASS_ChannelGetInfo(s.handle, &info));
    EXPECT_EQ(info.freq, 48000u);
    EXPECT_EQ(info.chans, 2u);
    const QWORD bytes = BASS_ChannelGetLength(s.handle, BASS_POS_BYTE);
    EXPECT_EQ(bytes, QWORD(frames) * 2 * 2);
    EXPECT_DOUBLE_EQ(BASS_ChannelBytes2Seconds(s.handle, bytes), frames / 48000.0);
    EXPECT_EQ(CountFrames(s.handle), 5);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ENDED);
}

TEST_F(DecoderTest, FinalPartialFrameIsZeroPadded) {
    // 1024 samples of a tone then nothing: the only frame is half tone, half zeros.
    Stream s(WriteWav(path("short.wav"), SineAtBin(64, 44100, 1024, 1.0f), 44100));
    ASSERT_NE(s.handle, 0u);
    DWORD ret = 0;
    const auto frame = NextFrame(s.handle, &ret);
    EXPECT_NE(ret, BASS_DATA_ERROR);
    EXPECT_GT(frame[64], 0.2f);
    EXPECT_LT(frame[64], 0.8f);
    NextFrame(s.handle, &ret);
    EXPECT_EQ(ret, BASS_DATA_ERROR);
}

TEST_F(DecoderTest, BitrateOfCbrMp3) {
    const QString mp3 = Generate(path("cbr.mp3"), QStringLiteral("anoisesrc=d=4:r=44100:a=0.3"),
                                 {QStringLiteral("-c:a"), QStringLiteral("libmp3lame"),
                                  QStringLiteral("-b:a"), QStringLiteral("192k")});
    Stream s(mp3);
    ASSERT_NE(s.handle, 0u);
    EXPECT_NEAR(ReadBitrate(s.handle), 192.0, 0.5);
}

TEST_F(DecoderTest, BitrateOfAVideoIsItsSoundsAlone) {
    const QStringList video = {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                               QStringLiteral("testsrc=d=3:s=320x240:r=25")};
    // AAC in MP4 declares its rate; FLAC in Matroska does not, so its packets are counted.
    struct Case {
        const char* name;
        QStringList audio;
        double low, high;
    } cases[] = {
        {"aac.mp4",
         {QStringLiteral("-c:a"), QStringLiteral("aac"), QStringLiteral("-b:a"),
          QStringLiteral("128k")},
         100,
         140},
        {"flac.mkv", {QStringLiteral("-c:a"), QStringLiteral("flac")}, 50, 900},
    };
    for (const Case& c : cases) {
        const QString file = path(QString::fromLatin1(c.name));
        ASSERT_TRUE(RunFfmpeg(video +
                              QStringList{QStringLiteral("-f"), QStringLiteral("lavfi"),
                                          QStringLiteral("-i"),
                                          QStringLiteral("anoisesrc=d=3:r=44100:a=0.05")} +
                              QStringList{QStringLiteral("-c:v"), QStringLiteral("mpeg4"),
                                          QStringLiteral("-b:v"), QStringLiteral("4M")} +
                              c.audio + QStringList{file}));
        Stream s(file);
        ASSERT_NE(s.handle, 0u) << c.name;
        const float kbps = ReadBitrate(s.handle);
        EXPECT_GT(kbps, c.low) << c.name;
        EXPECT_LT(kbps, c.high) << c.name << ": the picture's 4 Mbit/s must not count";
    }
}

// Every extension the program lists opens, video containers through their first audio stream.
TEST_F(DecoderTest, EverySupportedFormatOpens) {
    const QString v = QStringLiteral("testsrc=d=1:s=64x48:r=10");
    struct Case {
        const char* name;
        QStringList options;
        bool video;
    } cases[] = {
        {"a.mp4", {"-c:v", "mpeg4", "-c:a", "aac"}, true},
        {"a.mkv", {"-c:v", "mpeg4", "-c:a", "libvorbis"}, true},
        {"a.avi", {"-c:v", "mpeg4", "-c:a", "libmp3lame"}, true},
        {"a.mpg", {"-c:v", "mpeg2video", "-c:a", "mp2"}, true},
        {"a.mpeg", {"-c:v", "mpeg2video", "-c:a", "mp2"}, true},
        {"a.mov", {"-c:v", "mpeg4", "-c:a", "aac"}, true},
        {"a.wmv", {"-c:v", "wmv2", "-c:a", "wmav2"}, true},
        {"a.flv", {"-c:v", "flv", "-c:a", "libmp3lame"}, true},
        {"a.f4v", {"-f", "mp4", "-c:v", "mpeg4", "-c:a", "aac"}, true},
        {"a.mp3", {"-c:a", "libmp3lame"}, false},
        {"a.wma", {"-c:a", "wmav2"}, false},
        {"a.wav", {"-c:a", "pcm_s16le"}, false},
        {"a.m4a", {"-c:a", "aac"}, false},
        {"a.ogg", {"-c:a", "libvorbis"}, false},
        {"a.aiff", {}, false},
        {"a.aac", {"-c:a", "aac"}, false},
        {"a.ac3", {"-c:a", "ac3"}, false},
        {"a.eac3", {"-c:a", "eac3"}, false},
        {"a.mp2", {"-c:a", "mp2"}, false},
        {"a.wv", {"-c:a", "wavpack"}, false},
        {"a.webm", {"-c:a", "libopus"}, false},
        {"a.flac", {"-c:a", "flac"}, false},
        {"a.opus", {"-c:a", "libopus"}, false},
    };
    for (const Case& c : cases) {
        const QString file = path(QString::fromLatin1(c.name));
        QStringList args;
        if (c.video)
            args << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i") << v;
        args << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i")
             << QStringLiteral("sine=f=1000:d=1:r=48000") << c.options << file;
        ASSERT_TRUE(RunFfmpeg(args)) << c.name;
        Stream s(file);
        ASSERT_NE(s.handle, 0u) << c.name << " error " << s.error;
        BASS_CHANNELINFO info{};
        ASSERT_TRUE(BASS_ChannelGetInfo(s.handle, &info));
        EXPECT_GT(info.freq, 0u) << c.name;
        EXPECT_GE(CountFrames(s.handle), 15) << c.name << ": about one second of sound";
    }
}

TEST_F(DecoderTest, BrokenInputsFailWithAnErrorCode) {
    QDir(dir.path()).mkdir(QStringLiteral("Live.mp3"));
    QByteArray noise(4096, '\0');
    for (int i = 0; i < noise.size(); ++i)
        noise[i] = char((i * 7919 + 13) % 251);
    struct Case {
        QString file;
        int error;
    } cases[] = {
        {WriteBytes(path("empty.mp3"), {}), BASS_ERROR_FILEFORM},
        {WriteBytes(path("random.mp3"), noise), BASS_ERROR_FILEFORM},
        {WriteBytes(path("text.flac"), "This is not a FLAC file.\n"), BASS_ERROR_FILEFORM},
        {path("Live.mp3"), BASS_ERROR_FILEOPEN},
        {path("missing.wav"), BASS_ERROR_FILEOPEN},
    };
    for (const Case& c : cases) {
        Stream s(c.file);
        EXPECT_EQ(s.handle, 0u) << c.file.toStdString();
        EXPECT_EQ(s.error, c.error) << c.file.toStdString();
    }
}

TEST(DecoderLayer, HandlesAndInitialisation) {
    EXPECT_FALSE(BASS_Init(0, 44100, 0, nullptr, nullptr)) << "the test main initialised already";
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ALREADY);
    EXPECT_FALSE(BASS_StreamFree(12345));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
    float value = 0;
    EXPECT_FALSE(BASS_ChannelGetAttribute(12345, BASS_ATTRIB_BITRATE, &value));
}

TEST_F(DecoderTest, OpensFromMemory) {
    const QString wav = WriteWav(path("mem.wav"), SineAtBin(50, 44100, 4096, 0.5f), 44100);
    QFile file(wav);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    const HSTREAM h =
        BASS_StreamCreateFile(TRUE, bytes.constData(), 0, QWORD(bytes.size()), BASS_STREAM_DECODE);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(CountFrames(h), 2);
    EXPECT_TRUE(BASS_StreamFree(h));
    EXPECT_FALSE(BASS_StreamFree(h)) << "a handle is freed once";
}

// Every sample format a decoder may hand out, interleaved or planar, reads
// as the same sound: a signal on 8-bit steps is exact in all of them, so each
// copy must give the 8-bit original's FFT frames to the last bit, whatever its
// channel layout.
TEST_F(DecoderTest, SampleFormatsDecodeToTheSameSpectrum) {
    struct Target {
        const char* name;
        QStringList options;
    };
    const Target targets[] = {
        {"s16.wav", {"-c:a", "pcm_s16le"}},
        {"s24.wav", {"-c:a", "pcm_s24le"}},
        {"s32.wav", {"-c:a", "pcm_s32le"}},
        {"f32.wav", {"-c:a", "pcm_f32le"}},
        {"f64.wav", {"-c:a", "pcm_f64le"}},
        {"s16.flac", {"-c:a", "flac", "-sample_fmt", "s16"}},
        {"s32.flac", {"-c:a", "flac", "-sample_fmt", "s32"}},
        {"s16p.m4a", {"-c:a", "alac", "-sample_fmt", "s16p"}},
        {"s32p.m4a", {"-c:a", "alac", "-sample_fmt", "s32p"}},
    };
    for (const char* layout : {"mono", "stereo", "5.1"}) {
        const QString origin = path(QStringLiteral("u8-%1.wav").arg(QLatin1String(layout)));
        // Different sound in every channel: pink noise under a tone, per channel.
        Generate(origin,
                 QStringLiteral("anoisesrc=d=0.5:c=pink:r=44100:a=0.4:seed=3,"
                                "aformat=channel_layouts=%1,"
                                "aeval=val(ch)*(0.5+0.1*ch)+0.2*sin(2*PI*(700+300*ch)*t):c=same,"
                                "aformat=sample_fmts=u8")
                     .arg(QLatin1String(layout)),
                 {QStringLiteral("-c:a"), QStringLiteral("pcm_u8")});
        std::vector<std::array<float, 1024>> expected;
        {
            Stream s(origin);
            ASSERT_NE(s.handle, 0u) << layout << " error " << s.error;
            DWORD r = 0;
            for (auto frame = NextFrame(s.handle, &r); r != BASS_DATA_ERROR;
                 frame = NextFrame(s.handle, &r))
                expected.push_back(frame);
        }
        ASSERT_EQ(expected.size(), 11u) << layout << ": 22050 samples make 10 frames and a part";
        EXPECT_GT(expected[3][32], 0.01f) << layout << ": the tone is there";
        for (const Target& t : targets) {
            const QString file =
                path(QStringLiteral("%1-%2").arg(QLatin1String(layout), QLatin1String(t.name)));
            ASSERT_TRUE(RunFfmpeg(QStringList{QStringLiteral("-i"), origin} << t.options << file))
                << t.name;
            Stream s(file);
            ASSERT_NE(s.handle, 0u) << layout << ' ' << t.name << " error " << s.error;
            for (std::size_t f = 0; f < expected.size(); ++f) {
                DWORD r = 0;
                const auto frame = NextFrame(s.handle, &r);
                ASSERT_NE(r, BASS_DATA_ERROR) << layout << ' ' << t.name << " frame " << f;
                for (int b = 0; b < 1024; ++b)
                    ASSERT_EQ(frame[std::size_t(b)], expected[f][std::size_t(b)])
                        << layout << ' ' << t.name << " frame " << f << " bin " << b;
            }
            EXPECT_EQ(CountFrames(s.handle), 0) << layout << ' ' << t.name;
        }
    }
}
