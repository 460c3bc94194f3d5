// What the decoding layer tells when it cannot give a stream, in its own
// terms and as the stable numbers of the BASS_* functions; the process-wide
// decoder setup; the guard that frees a stream handle.
#include "HostileMedia.h"
#include "ScriptedSource.h"
#include "analysis/BASS.h"
#include "analysis/DecoderSetup.h"
#include "analysis/DecoderStream.h"
#include "analysis/StreamGuard.h"
#include "support/TestMedia.h"

#include <QDir>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <stdexcept>

extern "C" {
#include <libavutil/mem.h>
}

using namespace testmedia;
using namespace hostile;

namespace {

// Byte offsets in the canonical 44-byte WAV header.
constexpr qsizetype kWavFormatTag = 20, kWavRate = 24;

// Every allocation inside FFmpeg fails while one of these lives.
struct StarvedDecoder {
    StarvedDecoder() { av_max_alloc(16); }
    ~StarvedDecoder() { av_max_alloc(KORVANE_MAX_ALLOCATION); }
};

class DecoderOutcome : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.filePath(name); }

    QString tone(const QString& name) const {
        return WriteWav(path(name), SineAtBin(100, 44100, 8192, 0.5f), 44100);
    }
    QString patchedTone(const QString& name, const std::function<void(QByteArray&)>& patch) const {
        QByteArray bytes = ReadAll(tone(name + QStringLiteral(".source")));
        patch(bytes);
        return WriteBytes(path(name), bytes);
    }

    static HSTREAM Open(const QString& file) {
        return BASS_StreamCreateFile(FALSE, file.utf16(), 0, 0, BASS_STREAM_DECODE | BASS_UNICODE);
    }
};

} // namespace

TEST_F(DecoderOutcome, EachFailureHasItsReasonAndItsStableNumber) {
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.mp3")));
    const struct Case {
        QString file;
        bool starved;
        DecodeError error;
        int code;
    } cases[] = {
        {path(QStringLiteral("missing.wav")), false, DecodeError::CannotOpen, BASS_ERROR_FILEOPEN},
        {path(QStringLiteral("folder.mp3")), false, DecodeError::CannotOpen, BASS_ERROR_FILEOPEN},
        {WriteBytes(path(QStringLiteral("text.flac")), "This is not a FLAC file.\n"), false,
         DecodeError::NotMedia, BASS_ERROR_FILEFORM},
        {WriteBytes(path(QStringLiteral("empty.wav")), {}), false, DecodeError::NotMedia,
         BASS_ERROR_FILEFORM},
        {patchedTone(QStringLiteral("rate-768001.wav"),
                     [](QByteArray& b) { PutLE32(b, kWavRate, 768'001); }),
         false, DecodeError::UnsupportedFormat, BASS_ERROR_FORMAT},
        {patchedTone(QStringLiteral("unknown-codec.wav"),
                     [](QByteArray& b) { PutLE16(b, kWavFormatTag, 0x2345); }),
         false, DecodeError::NoDecoder, BASS_ERROR_CODEC},
        {tone(QStringLiteral("starved.wav")), true, DecodeError::OutOfMemory, BASS_ERROR_MEM},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        std::optional<StarvedDecoder> starved;
        if (c.starved)
            starved.emplace();
        const DecodeResult<std::unique_ptr<DecoderStream>> opened = DecoderStream::openFile(c.file);
        ASSERT_FALSE(opened);
        EXPECT_EQ(opened.error(), c.error);
        EXPECT_EQ(Open(c.file), 0u);
        EXPECT_EQ(BASS_ErrorGetCode(), c.code);
    }
    // The same file opens once the decoder may allocate again.
    DecodeResult<std::unique_ptr<DecoderStream>> opened =
        DecoderStream::openFile(path(QStringLiteral("starved.wav")));
    ASSERT_TRUE(opened) << int(opened.error());
    EXPECT_EQ((*opened)->sampleRate(), 44100u);
}

TEST_F(DecoderOutcome, InMemoryFilesFailAsFilesDo) {
    const QByteArray good = ReadAll(tone(QStringLiteral("good.wav")));
    const QByteArray text("This is not a WAV file.\n");
    EXPECT_EQ(DecoderStream::openMemory(nullptr, 0).error(), DecodeError::NotMedia);
    EXPECT_EQ(DecoderStream::openMemory(good.constData(), 0).error(), DecodeError::NotMedia);
    EXPECT_EQ(DecoderStream::openMemory(text.constData(), std::size_t(text.size())).error(),
              DecodeError::NotMedia);
    {
        const StarvedDecoder starved;
        EXPECT_EQ(DecoderStream::openMemory(good.constData(), std::size_t(good.size())).error(),
                  DecodeError::OutOfMemory);
        EXPECT_EQ(BASS_StreamCreateFile(TRUE, good.constData(), 0, QWORD(good.size()),
                                        BASS_STREAM_DECODE),
                  0u);
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_MEM);
    }
    DecodeResult<std::unique_ptr<DecoderStream>> opened =
        DecoderStream::openMemory(good.constData(), std::size_t(good.size()));
    ASSERT_TRUE(opened) << int(opened.error());
    EXPECT_EQ((*opened)->sampleRate(), 44100u);
    EXPECT_EQ((*opened)->channels(), 1);
}

TEST_F(DecoderOutcome, OneSetupPerProcessAndFreeingClosesTheLayerUntilItIsOpenedAgain) {
    ASSERT_TRUE(DecoderSetup::active()) << "the test main made one";
    EXPECT_THROW(DecoderSetup second, std::logic_error);
    EXPECT_TRUE(DecoderSetup::active()) << "a refused second setup leaves the first in place";

    const QString file = tone(QStringLiteral("tone.wav"));
    const HSTREAM open = Open(file);
    ASSERT_NE(open, 0u) << BASS_ErrorGetCode();

    ASSERT_TRUE(BASS_Free());
    EXPECT_FALSE(BASS_ChannelGetInfo(open, nullptr)) << "freeing closes every stream";
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
    EXPECT_EQ(Open(file), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);
    EXPECT_FALSE(BASS_Free());
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);

    ASSERT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr));
    const HSTREAM again = Open(file);
    EXPECT_NE(again, 0u) << BASS_ErrorGetCode();
    BASS_StreamFree(again);
    EXPECT_FALSE(BASS_Init(1, 44100, 0, nullptr, nullptr));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_DEVICE);
}

TEST_F(DecoderOutcome, StreamGuardFreesItsStreamOnceOnEveryWayOut) {
    const QString scripted = QStringLiteral("/scripted/guarded.mp3");
    ScriptedSource script;
    script.spectra.assign(2, std::vector<float>(1024, 0.5f));
    const ScopedScriptedFile route(scripted, script);
    BASS_CHANNELINFO info{};

    // An exception passes.
    const HSTREAM thrown = Open(scripted);
    ASSERT_NE(thrown, 0u);
    try {
        const StreamGuard guard(thrown);
        throw std::runtime_error("passing through");
    } catch (const std::runtime_error&) {
    }
    EXPECT_FALSE(BASS_ChannelGetInfo(thrown, &info));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);

    // Freed early, and not again at the end of the scope: a second free
    // would leave BASS_ERROR_HANDLE behind.
    const HSTREAM early = Open(scripted);
    ASSERT_NE(early, 0u);
    {
        StreamGuard guard(early);
        guard.reset();
        EXPECT_EQ(guard.get(), 0u);
        EXPECT_FALSE(BASS_ChannelGetInfo(early, &info));
        const StreamGuard other(Open(scripted));
        ASSERT_NE(other.get(), 0u);
        ASSERT_TRUE(BASS_ChannelGetInfo(other.get(), &info));
        EXPECT_EQ(info.freq, 44100u);
    }
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_OK);

    // A failed open leaves nothing to free and its error in place.
    {
        const StreamGuard none(Open(path(QStringLiteral("missing.mp3"))));
        EXPECT_EQ(none.get(), 0u);
    }
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEOPEN);
}
