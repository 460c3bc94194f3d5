// A stop request reaches the decoder's reads: an analysis of a file that
// arrives slowly (a network share, a disk spinning up) ends at its next read,
// not when the whole file has been read.
#include "analysis/AudioAnalyzer.h"
#include "analysis/ChannelSource.h"
#include "analysis/DecoderInput.h"
#include "analysis/DecoderStream.h"
#include "analysis/FileStream.h"
#include "support/FileRoute.h"
#include "support/TestMedia.h"

#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/error.h>
}

using namespace testmedia;

namespace {

// A file's bytes handed out a few kilobytes at a time, each read taking a
// while, the way a slow share serves them.
struct SlowBytes {
    QByteArray bytes;
    std::atomic<int> reads{0};
    std::chrono::milliseconds perRead{5};
};

class SlowInput final : public DecoderInput {
public:
    explicit SlowInput(SlowBytes& source) : m_source(source) { makeIo(); }

    std::unique_ptr<DecoderInput> reopen() const override {
        return std::make_unique<SlowInput>(m_source);
    }

protected:
    int readBytes(std::uint8_t* buf, int size) override {
        const qsizetype left = m_source.bytes.size() - m_position;
        if (left <= 0)
            return AVERROR_EOF;
        std::this_thread::sleep_for(m_source.perRead);
        ++m_source.reads;
        const int n = int(std::min<qsizetype>({left, qsizetype(size), 4096}));
        std::memcpy(buf, m_source.bytes.constData() + m_position, std::size_t(n));
        m_position += n;
        return n;
    }

    std::int64_t seekBytes(std::int64_t offset, int whence) override {
        if (whence & AVSEEK_SIZE)
            return m_source.bytes.size();
        std::int64_t target = offset;
        if ((whence & ~AVSEEK_FORCE) == SEEK_CUR)
            target += m_position;
        else if ((whence & ~AVSEEK_FORCE) == SEEK_END)
            target += m_source.bytes.size();
        if (target < 0 || target > m_source.bytes.size())
            return AVERROR(EINVAL);
        m_position = target;
        return target;
    }

private:
    SlowBytes& m_source;
    std::int64_t m_position = 0;
};

// Sixty seconds of a tone as 16-bit WAV: about 1300 slow reads in all.
QByteArray MinuteOfTone(const QTemporaryDir& dir) {
    return ReadAll(WriteWav(dir.filePath(QStringLiteral("tone.wav")),
                            SineAtBin(100, 44100, 44100 * 60, 0.5f), 44100));
}

// Waits until the slow source has served `reads` reads.
void WaitForReads(const SlowBytes& source, int reads) {
    for (int i = 0; i < 2000 && source.reads.load() < reads; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_GE(source.reads.load(), reads);
}

// Routes one path to a decoder over the slow bytes while it lives.
class ScopedSlowFile {
public:
    ScopedSlowFile(const QString& path, SlowBytes& source)
        : m_route(path, [&source]() -> std::unique_ptr<ChannelSource> {
              DecodeResult<std::unique_ptr<DecoderStream>> opened =
                  DecoderStream::openInput(std::make_unique<SlowInput>(source));
              return opened ? std::move(*opened) : nullptr;
          }) {}

private:
    FileRoute m_route;
};

const QString kSlowMinutePath = QStringLiteral("/slow/share/minute.wav");

// A minute of tone served slowly at kSlowMinutePath while it lives.
struct SlowMinuteFile {
    QTemporaryDir Dir;
    SlowBytes Bytes;
    ScopedSlowFile Route{kSlowMinutePath, Bytes};

    SlowMinuteFile() { Bytes.bytes = MinuteOfTone(Dir); }
};

} // namespace

TEST(Cancellation, AStopEndsADecodeWaitingOnSlowReadsAtItsNextRead) {
    QTemporaryDir dir;
    SlowBytes source;
    source.bytes = MinuteOfTone(dir);
    const int wholeFile = int(source.bytes.size() / 4096);

    std::stop_source stop;
    auto input = std::make_unique<SlowInput>(source);
    input->stopOn(stop.get_token());
    DecodeResult<std::unique_ptr<DecoderStream>> opened =
        DecoderStream::openInput(std::move(input));
    ASSERT_TRUE(opened);
    std::unique_ptr<DecoderStream> stream = std::move(*opened);

    const int readsToOpen = source.reads.load();
    std::atomic<int> frames{0};
    std::jthread decoding([&] {
        float magnitudes[1024];
        while (stream->nextFft2048(magnitudes) > 0)
            ++frames;
    });
    WaitForReads(source, readsToOpen + 20);
    const int readsAtStop = source.reads.load();
    stop.request_stop();
    decoding.join();

    EXPECT_GT(frames.load(), 0);
    // The read under way when the stop came may finish; no other is made.
    // Without the stop every read of the file would have been made.
    EXPECT_LE(source.reads.load(), readsAtStop + 1) << "of " << wholeFile;
    EXPECT_LT(source.reads.load(), wholeFile / 4);
}

TEST(Cancellation, AStoppedAnalysisGivesNoVerdictOnThePartItRead) {
    SlowMinuteFile file;
    SlowBytes& source = file.Bytes;

    std::stop_source stop;
    TAudioQualityResult result;
    std::jthread analysing(
        [&] { result = AnalyzeAudioQuality(kSlowMinutePath, stop.get_token()); });
    // Past the header: the decoding itself is under way.
    WaitForReads(source, 150);
    const int readsAtStop = source.reads.load();
    stop.request_stop();
    analysing.join();

    EXPECT_LE(source.reads.load(), readsAtStop + 1);
    EXPECT_EQ(result.Verdict, qvError);
    EXPECT_EQ(result.Reason, StoppedAnalysis().Reason);
    EXPECT_EQ(result.Reason, u"Analysis stopped");
}

TEST(Cancellation, TheTokenOfAnOpenReachesTheReadsOfTheStream) {
    SlowMinuteFile file;
    SlowBytes& source = file.Bytes;

    std::stop_source stop;
    const HSTREAM stream = CreateFileStream(kSlowMinutePath, stop.get_token());
    ASSERT_NE(stream, 0u) << BASS_ErrorGetCode();
    const int readsToOpen = source.reads.load();
    std::jthread reading([&] {
        float magnitudes[1024];
        while (BASS_ChannelGetData(stream, magnitudes, BASS_DATA_FFT2048) != BASS_DATA_ERROR) {
        }
    });
    WaitForReads(source, readsToOpen + 20);
    const int readsAtStop = source.reads.load();
    stop.request_stop();
    reading.join();
    BASS_StreamFree(stream);
    EXPECT_LE(source.reads.load(), readsAtStop + 1);
}

TEST(Cancellation, AnUnstoppedTokenChangesNothing) {
    QTemporaryDir dir;
    const QString path = WriteWav(dir.filePath(QStringLiteral("tone.wav")),
                                  SineAtBin(100, 44100, 44100 * 3, 0.5f), 44100);
    std::stop_source stop;
    const TAudioQualityResult withToken = AnalyzeAudioQuality(path, stop.get_token());
    const TAudioQualityResult without = AnalyzeAudioQuality(path);
    EXPECT_EQ(withToken.Verdict, without.Verdict);
    EXPECT_EQ(withToken.Reason, without.Reason);
    EXPECT_EQ(withToken.CutoffHz, without.CutoffHz);
    EXPECT_EQ(withToken.BitrateKbps, without.BitrateKbps);
    EXPECT_NE(withToken.Reason, StoppedAnalysis().Reason);
}

TEST(Cancellation, AStreamOpenedAfterTheStopFailsWithoutReadingTheFile) {
    QTemporaryDir dir;
    const QString path = WriteWav(dir.filePath(QStringLiteral("tone.wav")),
                                  SineAtBin(100, 44100, 44100, 0.5f), 44100);
    std::stop_source stop;
    stop.request_stop();
    EXPECT_EQ(CreateFileStream(path, stop.get_token()), 0u);
    EXPECT_EQ(AnalyzeAudioQuality(path, stop.get_token()).Reason, u"Analysis stopped");

    const HSTREAM open = CreateFileStream(path, std::stop_source().get_token());
    EXPECT_NE(open, 0u);
    BASS_StreamFree(open);
}
