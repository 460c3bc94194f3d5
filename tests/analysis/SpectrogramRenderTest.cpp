// The renderer's own entry: the picture or the reason there is none, from
// one pass over the file, and a stop that is obeyed before the next frame.
#include "GeneratedSource.h"
#include "ScriptedSource.h"
#include "UndrawableFiles.h"
#include "analysis/AudioAnalyzer.h"
#include "analysis/BASS.h"
#include "analysis/Spectrogram.h"
#include "support/SameQuality.h"
#include "support/TestMedia.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>
#include <gtest/gtest.h>
#include <new>
#include <optional>
#include <stop_token>
#include <sys/resource.h>
#include <unistd.h>

using namespace testmedia;

// Readable reasons in assertion messages.
static void PrintTo(SpectrogramError error, std::ostream* out) {
    *out << int(error) << " (" << SpectrogramErrorText(error, 0).toStdString() << ")";
}

namespace {

const QString kScripted = QStringLiteral("/scripted/render.flac");

GeneratedSource Toned(std::int64_t frames) {
    GeneratedSource source;
    source.claimedFrames = frames * 2048;
    source.available = frames;
    source.fill = [](std::int64_t frame, float* m) { m[frame % 1024] = 0.5f; };
    return source;
}

} // namespace

TEST(RenderSpectrogramFile, SaysWhyThereIsNoPicture) {
    TryUndrawableFiles([](const UndrawableFile& c) {
        const SpectrogramRender render = RenderSpectrogramFile(c.Path);
        EXPECT_EQ(render.error, c.Error) << c.Name;
        EXPECT_FALSE(render.ok()) << c.Name;
        EXPECT_TRUE(render.picture.isNull()) << c.Name;
        EXPECT_FALSE(render.errorText().isEmpty()) << c.Name;
    });
}

TEST(RenderSpectrogramFile, GivesThePictureOfRenderSpectrogramWithItsFacts) {
    QTemporaryDir dir;
    const QString file = WriteWav(dir.filePath(QStringLiteral("tone.wav")),
                                  SineAtBin(100, 48000, 30 * 2048 + 500, 0.5f), 48000);
    const SpectrogramRender render = RenderSpectrogramFile(file);
    ASSERT_TRUE(render.ok()) << render.errorText().toStdString();
    EXPECT_TRUE(render.errorText().isEmpty());
    EXPECT_EQ(render.sampleRate, 48000u);
    EXPECT_EQ(render.frames, 30);
    EXPECT_EQ(render.picture.size(), QSize(30, 1024));
    EXPECT_EQ(render.picture.format(), QImage::Format_BGR888);

    QImage bitmap;
    RenderSpectrogram(file, bitmap);
    EXPECT_EQ(bitmap, render.picture);
    const QByteArray bytes = ReadAll(file);
    EXPECT_EQ(RenderSpectrogramMemory(bytes.constData(), std::size_t(bytes.size())).picture,
              render.picture);
}

TEST(RenderSpectrogramFile, StopIsObeyedBeforeTheNextFrame) {
    const struct {
        std::int64_t frames;
        std::int64_t stopAtRead; // 0: before the call
    } cases[] = {{1000, 1}, {1000, 7}, {50, 50}, {50, 0}};
    for (const auto& c : cases) {
        std::stop_source stop;
        std::int64_t reads = 0;
        GeneratedSource source = Toned(c.frames);
        source.reads = &reads;
        source.onRead = [&] {
            if (reads == c.stopAtRead)
                stop.request_stop();
        };
        ScopedGeneratedFile route(kScripted, source);
        if (c.stopAtRead == 0)
            stop.request_stop();
        const SpectrogramRender render = RenderSpectrogramFile(kScripted, stop.get_token());
        EXPECT_EQ(render.error, SpectrogramError::Cancelled) << c.stopAtRead;
        EXPECT_TRUE(render.picture.isNull()) << c.stopAtRead;
        EXPECT_EQ(reads, c.stopAtRead) << "frames read after the stop";
    }
}

TEST(RenderSpectrogramFile, RunningOutOfMemoryIsAReasonAndRenderSpectrogramThrowsIt) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "an address-space limit starves the sanitizer's shadow memory";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    GTEST_SKIP() << "an address-space limit starves the sanitizer's shadow memory";
#endif
#endif
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // A minute of frames needs more than the 48 MiB of address space left to
    // the child: for its levels or for its picture.
    ScopedGeneratedFile route(kScripted, Toned(40000));
    const auto limitAddressSpace = [] {
        QFile statm(QStringLiteral("/proc/self/statm"));
        if (!statm.open(QIODevice::ReadOnly))
            std::_Exit(90);
        const rlim_t pages = statm.readAll().split(' ').value(0).toULongLong();
        const rlim_t limit = pages * rlim_t(::sysconf(_SC_PAGESIZE)) + (rlim_t(48) << 20);
        const rlimit rl{limit, limit};
        if (::setrlimit(RLIMIT_AS, &rl) != 0)
            std::_Exit(91);
    };
    EXPECT_EXIT(
        {
            limitAddressSpace();
            std::_Exit(int(RenderSpectrogramFile(kScripted).error));
        },
        ::testing::ExitedWithCode(int(SpectrogramError::OutOfMemory)), "");
    EXPECT_EXIT(
        {
            limitAddressSpace();
            QImage bitmap(2, 2, QImage::Format_BGR888);
            try {
                RenderSpectrogram(kScripted, bitmap);
            } catch (const std::bad_alloc&) {
                std::_Exit(bitmap.width() == 2 ? 42 : 43);
            }
            std::_Exit(44);
        },
        ::testing::ExitedWithCode(42), "");
}

namespace {

// Counts the streams opened on a path and the frames read from them.
class CountingRoute {
public:
    CountingRoute(const QString& path, const GeneratedSource& prototype)
        : m_route(path, [this, prototype] {
              ++opens;
              auto source = std::make_unique<GeneratedSource>(prototype);
              source->reads = &reads;
              return source;
          }) {}
    int opens = 0;
    std::int64_t reads = 0;

private:
    FileRoute m_route;
};

} // namespace

// The annotated picture's verdict must be the list's verdict: same frames,
// same sums, same result, whatever the file.
TEST(RenderSpectrogramFile, AnalysisFromThePicturesPassIsTheAnalysisOnItsOwn) {
    QTemporaryDir dir;
    const auto path = [&dir](const char* name) { return dir.filePath(QString::fromLatin1(name)); };
    // White noise encoded at 320 kbps with the encoder's low-pass at 16 kHz:
    // a re-encoding the analysis calls Likely.
    const QString lowpassed = Generate(path("lowpassed.mp3"),
                                       QStringLiteral("anoisesrc=d=6:c=white:r=44100:a=0.5:seed=7"),
                                       {"-c:a", "libmp3lame", "-b:a", "320k", "-cutoff", "16000"});
    const QString noise =
        Generate(path("noise.flac"), QStringLiteral("anoisesrc=d=3:c=white:r=48000:a=0.3:seed=3"),
                 {QStringLiteral("-c:a"), QStringLiteral("flac")});
    const QString lowRate =
        WriteWav(path("low-rate.wav"), SineAtBin(30, 22050, 22050, 0.5f), 22050);
    const QString silence =
        WriteWav(path("silence.wav"), std::vector<float>(3 * 44100, 0.0f), 44100);
    // The header plans 10 frames, the decoder gives 30: the picture takes
    // ten, the analysis all of them.
    GeneratedSource longer;
    longer.claimedFrames = 10 * 2048;
    longer.available = 30;
    longer.fill = [](std::int64_t frame, float* m) {
        for (int b = 1; b < (frame < 10 ? 1023 : 500); ++b)
            m[b] = 0.05f;
    };
    GeneratedSource unknownRate = longer;
    unknownRate.rate = 0;

    const struct {
        const char* name;
        QString path;
        std::optional<GeneratedSource> source;
    } cases[] = {
        {"low-passed MP3", lowpassed, std::nullopt},
        {"white noise FLAC at 48 kHz", noise, std::nullopt},
        {"22.05 kHz WAV", lowRate, std::nullopt},
        {"silence", silence, std::nullopt},
        {"longer than planned", kScripted, longer},
    };
    for (const auto& c : cases) {
        std::optional<ScopedGeneratedFile> route;
        if (c.source)
            route.emplace(c.path, *c.source);
        const SpectrogramRender render = RenderSpectrogramFile(c.path, {}, {.withAnalysis = true});
        ASSERT_TRUE(render.ok()) << c.name << ": " << render.errorText().toStdString();
        ASSERT_TRUE(render.analysis.has_value()) << c.name;
        ExpectSameQuality(*render.analysis, AnalyzeAudioQuality(c.path), c.name);
        EXPECT_EQ(render.picture, RenderSpectrogramFile(c.path).picture) << c.name;
        // The second opinion too, the annotation's header shows it.
        ASSERT_TRUE(render.source.has_value()) << c.name;
        const SourceAssessment alone = AnalyzeQualityAndSource(c.path).Source;
        EXPECT_EQ(render.source->Kind, alone.Kind) << c.name;
        EXPECT_EQ(render.source->Source, alone.Source) << c.name;
        EXPECT_EQ(render.source->Explanation, alone.Explanation) << c.name;
        EXPECT_EQ(render.source->Evidence.Frames, alone.Evidence.Frames) << c.name;
        EXPECT_EQ(render.source->Evidence.WallHz, alone.Evidence.WallHz) << c.name;
    }
    // The verdicts differ, so equal results above are no accident.
    EXPECT_EQ(AnalyzeAudioQuality(lowpassed).Verdict, qvLikely);
    EXPECT_EQ(AnalyzeAudioQuality(noise).Verdict, qvOk);
    EXPECT_EQ(AnalyzeAudioQuality(lowRate).Verdict, qvPossible);
    EXPECT_EQ(AnalyzeAudioQuality(silence).Verdict, qvError);

    // Without a sample rate there is no picture, nor an analysis beside one.
    ScopedGeneratedFile route(kScripted, unknownRate);
    const SpectrogramRender none = RenderSpectrogramFile(kScripted, {}, {.withAnalysis = true});
    EXPECT_EQ(none.error, SpectrogramError::TooShort);
    EXPECT_FALSE(none.analysis.has_value());
    EXPECT_FALSE(none.source.has_value());
}

TEST(RenderSpectrogramFile, PictureAndAnalysisTakeOneOpenAndEachFrameOnce) {
    GeneratedSource source = Toned(40);
    source.claimedFrames = 25 * 2048; // the picture stops at 25; the analysis reads on
    for (const bool withAnalysis : {false, true}) {
        CountingRoute route(kScripted, source);
        const SpectrogramRender render =
            RenderSpectrogramFile(kScripted, {}, {.withAnalysis = withAnalysis});
        ASSERT_TRUE(render.ok());
        EXPECT_EQ(render.analysis.has_value(), withAnalysis);
        EXPECT_EQ(render.frames, 25);
        EXPECT_EQ(route.opens, 1) << withAnalysis;
        EXPECT_EQ(route.reads, withAnalysis ? 40 : 25);
    }
}

TEST(RenderSpectrogramFile, StopIsObeyedWhileTheAnalysisReadsOn) {
    std::stop_source stop;
    std::int64_t reads = 0;
    GeneratedSource source = Toned(100);
    source.claimedFrames = 20 * 2048;
    source.reads = &reads;
    source.onRead = [&] {
        if (reads == 60)
            stop.request_stop();
    };
    ScopedGeneratedFile route(kScripted, source);
    const SpectrogramRender render =
        RenderSpectrogramFile(kScripted, stop.get_token(), {.withAnalysis = true});
    EXPECT_EQ(render.error, SpectrogramError::Cancelled);
    EXPECT_FALSE(render.analysis.has_value());
    EXPECT_EQ(reads, 60);
}
