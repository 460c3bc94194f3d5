// Hostile files on disk: things that are not regular files, files that change
// or vanish while they are read, and a sparse file of 4 GB.
#include "HostileMedia.h"
#include "analysis/AudioAnalyzer.h"
#include "analysis/BASS.h"
#include "analysis/DecoderInput.h"
#include "analysis/DecoderStream.h"
#include "analysis/Spectrogram.h"
#include "common/FileCollection.h"
#include "support/TestMedia.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace testmedia;
using namespace hostile;

namespace {

class HostileFiles : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.filePath(name); }

    QString mp3(const QString& name, int seconds) const {
        return Generate(path(name),
                        QStringLiteral("anoisesrc=d=%1:r=44100:a=0.3:seed=9").arg(seconds),
                        {"-c:a", "libmp3lame", "-b:a", "128k"});
    }
};

QString CannotOpen(int error) {
    return QStringLiteral("Cannot open file (BASS error %1)").arg(error);
}

// Should an open block on a FIFO, a writer appears after a while so the test
// fails instead of hanging.
class FifoUnblocker {
public:
    explicit FifoUnblocker(const QString& fifo)
        : m_thread([this, name = QFile::encodeName(fifo)] {
              for (int i = 0; i < 100 && !m_done; ++i)
                  std::this_thread::sleep_for(std::chrono::milliseconds(50));
              if (m_done)
                  return;
              const int fd = ::open(name.constData(), O_WRONLY | O_NONBLOCK);
              if (fd >= 0) {
                  m_neededToUnblock = true;
                  ::close(fd);
              }
          }) {}
    bool finish() {
        m_done = true;
        m_thread.join();
        return m_neededToUnblock;
    }

private:
    std::atomic<bool> m_done{false};
    std::atomic<bool> m_neededToUnblock{false};
    std::thread m_thread;
};

} // namespace

TEST_F(HostileFiles, FifoAndDevicesNamedLikeMediaAreRefusedAtOnce) {
    const QString fifo = path(QStringLiteral("pipe.mp3"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    FifoUnblocker unblocker(fifo);
    const TAudioQualityResult fromFifo = AnalyzeAudioQuality(fifo);
    QImage picture(2, 2, QImage::Format_BGR888);
    picture.fill(Qt::red);
    const QImage before = picture;
    RenderSpectrogram(fifo, picture);
    EXPECT_FALSE(unblocker.finish()) << "opening the FIFO blocked";
    EXPECT_EQ(fromFifo.Reason, CannotOpen(BASS_ERROR_FILEOPEN));
    EXPECT_EQ(picture, before);

    for (const char* device : {"/dev/zero", "/dev/null", "/dev/urandom"}) {
        const QString link = path(QString::fromLatin1(device).mid(5) + QStringLiteral(".wav"));
        ASSERT_TRUE(QFile::link(QString::fromLatin1(device), link));
        EXPECT_EQ(AnalyzeAudioQuality(link).Reason, CannotOpen(BASS_ERROR_FILEOPEN)) << device;
    }
}

TEST_F(HostileFiles, FolderScanSkipsWhatIsNotARegularFile) {
    mp3(QStringLiteral("song.mp3"), 1);
    ASSERT_EQ(::mkfifo(QFile::encodeName(path(QStringLiteral("pipe.mp3"))).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), path(QStringLiteral("zero.flac"))));
    ASSERT_TRUE(QFile::link(path(QStringLiteral("song.mp3")), path(QStringLiteral("link.mp3"))));
    ASSERT_TRUE(
        QFile::link(path(QStringLiteral("gone.mp3")), path(QStringLiteral("dangling.mp3"))));
    QStringList found;
    ScanFolder(dir.path(), found);
    found.sort();
    // A dangling link still gets its row: its error tells the user something is missing.
    EXPECT_EQ(found,
              (QStringList{path(QStringLiteral("dangling.mp3")), path(QStringLiteral("link.mp3")),
                           path(QStringLiteral("song.mp3"))}));
}

TEST_F(HostileFiles, PathThatStopsExistingAfterTheScan) {
    mp3(QStringLiteral("soon-gone.mp3"), 1);
    QStringList found;
    ScanFolder(dir.path(), found);
    ASSERT_EQ(found.size(), 1);
    ASSERT_TRUE(QFile::remove(found.first()));
    const TAudioQualityResult r = AnalyzeAudioQuality(found.first());
    EXPECT_EQ(r.Verdict, qvError);
    EXPECT_EQ(r.Reason, CannotOpen(BASS_ERROR_FILEOPEN));
}

TEST_F(HostileFiles, FileRemovedWhileOpenIsReadToItsEnd) {
    const QString file = mp3(QStringLiteral("removed.mp3"), 4);
    const int full = CountFrames(file);
    const HSTREAM h =
        BASS_StreamCreateFile(FALSE, file.utf16(), 0, 0, BASS_STREAM_DECODE | BASS_UNICODE);
    ASSERT_NE(h, 0u);
    ASSERT_TRUE(QFile::remove(file));
    float frame[1024];
    int frames = 0;
    while (BASS_ChannelGetData(h, frame, BASS_DATA_FFT2048) != BASS_DATA_ERROR)
        ++frames;
    BASS_StreamFree(h);
    EXPECT_EQ(frames, full);
}

// A file that grows while it is read (a download, a recording) is read up to
// the size it had when opened; one that shrinks ends where it now ends.
TEST_F(HostileFiles, FileThatGrowsOrShrinksWhileRead) {
    const QString file = mp3(QStringLiteral("changing.mp3"), 20);
    const QByteArray original = ReadAll(file);
    const int full = CountFrames(file);
    ASSERT_GT(full, 400);

    for (const bool grow : {true, false}) {
        WriteBytes(file, original);
        const HSTREAM h =
            BASS_StreamCreateFile(FALSE, file.utf16(), 0, 0, BASS_STREAM_DECODE | BASS_UNICODE);
        ASSERT_NE(h, 0u);
        float frame[1024];
        int frames = 0;
        for (; frames < 10; ++frames)
            ASSERT_NE(BASS_ChannelGetData(h, frame, BASS_DATA_FFT2048), BASS_DATA_ERROR);
        QFile change(file);
        ASSERT_TRUE(change.open(QIODevice::ReadWrite));
        if (grow) {
            change.seek(change.size());
            for (int i = 0; i < 4; ++i)
                change.write(original); // more valid MP3 frames
        } else {
            change.resize(original.size() / 4);
        }
        change.close();
        while (BASS_ChannelGetData(h, frame, BASS_DATA_FFT2048) != BASS_DATA_ERROR)
            ++frames;
        BASS_StreamFree(h);
        if (grow) {
            EXPECT_EQ(frames, full) << "read up to the size at opening";
        } else {
            EXPECT_LT(frames, full * 40 / 100);
            EXPECT_GE(frames, 10);
        }
    }
}

namespace {

// `source` followed by zeros up to 4 GB, without writing them.
QString PadSparse(const QString& source, const QString& padded) {
    if (!QFile::copy(source, padded))
        return {};
    QFile f(padded);
    if (!f.open(QIODevice::ReadWrite) || !f.resize(qint64(4) << 30))
        return {};
    return padded;
}

} // namespace

// 4 GB that hold nothing: refused after probing a little. 4 GB that hold a
// second or two of sound then zeros: that sound, without reading every zero.
TEST_F(HostileFiles, SparseFileOfFourGigabytes) {
    const QString empty = WriteBytes(path(QStringLiteral("empty.mp3")), {});
    const QString zeros = PadSparse(empty, path(QStringLiteral("zeros.mp3")));
    if (zeros.isEmpty())
        GTEST_SKIP() << "no sparse files here";
    EXPECT_EQ(AnalyzeAudioQuality(zeros).Reason, CannotOpen(BASS_ERROR_FILEFORM));

    // MP3: the demuxer hunts for the next frame through the zeros. WAV: it
    // looks for more chunks after the data, 8 bytes at a time, before the
    // first packet is read.
    const QString song = mp3(QStringLiteral("song.mp3"), 2);
    const QString tone =
        WriteWav(path(QStringLiteral("tone.wav")), SineAtBin(100, 44100, 44100, 0.5f), 44100);
    for (const QString& source : {song, tone}) {
        const QString padded = PadSparse(source, source + QStringLiteral(".padded"));
        ASSERT_FALSE(padded.isEmpty());
        DecodeResult<std::unique_ptr<DecoderStream>> opened = DecoderStream::openFile(padded);
        ASSERT_TRUE(opened) << int(opened.error());
        const std::unique_ptr<DecoderStream> stream = std::move(*opened);
        float frame[1024];
        int frames = 0;
        while (stream->nextFft2048(frame) > 0)
            ++frames;
        EXPECT_EQ(frames, CountFrames(source)) << source.toStdString();
        // One budget for the header, one after the last sound, and change.
        EXPECT_LE(stream->bytesRead(), 2 * DecoderInput::kMaxBytesWithoutAudio + (qint64(16) << 20))
            << source.toStdString();
    }
}
