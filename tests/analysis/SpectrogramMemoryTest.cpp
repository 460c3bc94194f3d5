// A header that claims hours over seconds of audio must cost seconds' worth
// of memory: the level matrix follows the frames that arrive, not the claim.
#include "analysis/BASS.h"
#include "analysis/ChannelSource.h"
#include "analysis/Spectrogram.h"
#include "analysis/SpectrogramColumns.h"
#include "support/FileRoute.h"
#include "support/TestMedia.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <algorithm>
#include <gtest/gtest.h>
#include <malloc.h>

using namespace testmedia;

namespace {

// mallinfo2 sees glibc's heap only: not a sanitizer's, nor another C library's.
#if defined(__SANITIZE_ADDRESS__) || !defined(__GLIBC__)
constexpr bool kOwnHeap = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kOwnHeap = true;
#else
constexpr bool kOwnHeap = false;
#endif
#else
constexpr bool kOwnHeap = false;
#endif

// Bytes the C heap has handed out and not taken back, large blocks included.
// Requested blocks count whether their pages were touched or not.
std::size_t HeapInUse() {
#if defined(__GLIBC__)
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
#else
    return 0;
#endif
}

// A FLAC file of ten seconds whose stream header claims ten hours.
QString MakeLyingFlac(const QString& path) {
    Generate(path, QStringLiteral("sine=f=1000:d=10:r=44100"),
             {QStringLiteral("-c:a"), QStringLiteral("flac")});
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return path;
    QByteArray bytes = file.readAll();
    // STREAMINFO follows "fLaC" and its block header; bytes 18..25 hold the
    // sample rate, channels, bits per sample and, in the low 36 bits, the
    // total number of samples.
    EXPECT_TRUE(bytes.startsWith("fLaC"));
    quint64 packed = qFromBigEndian<quint64>(bytes.constData() + 18);
    EXPECT_EQ(packed & ((1ULL << 36) - 1), 441000u);
    packed = (packed & ~((1ULL << 36) - 1)) | (10ULL * 3600 * 44100);
    qToBigEndian(packed, bytes.data() + 18);
    file.seek(0);
    file.write(bytes);
    return path;
}

// Claims ten hours, holds ten seconds, and watches the heap at every read.
class LyingSource final : public ChannelSource {
public:
    std::size_t* peakHeap = nullptr;

    std::uint32_t sampleRate() const override { return 44100; }
    int channels() const override { return 2; }
    std::optional<double> bitrateKbps() override { return 1411.0; }
    std::optional<std::int64_t> lengthFrames() const override { return 10LL * 3600 * 44100; }
    int nextFft2048(float magnitudes[1024]) override {
        if (m_next * 2048 >= 10 * 44100)
            return 0;
        std::fill(magnitudes, magnitudes + 1024, 0.001f);
        magnitudes[m_next % 1024] = 1.0f;
        ++m_next;
        *peakHeap = std::max(*peakHeap, HeapInUse());
        return 2048;
    }

private:
    std::int64_t m_next = 0;
};

} // namespace

TEST(SpectrogramMemory, LyingHeaderGetsAMatrixForTheFramesTheFileHolds) {
    QTemporaryDir dir;
    const QString path = MakeLyingFlac(dir.filePath(QStringLiteral("claims-ten-hours.flac")));
    const HSTREAM stream =
        BASS_StreamCreateFile(FALSE, path.utf16(), 0, 0, BASS_UNICODE | BASS_STREAM_DECODE);
    ASSERT_NE(stream, 0u) << BASS_ErrorGetCode();
    const std::int64_t planned = PlannedSpectrogramFrames(stream);
    ASSERT_EQ(planned, 10LL * 3600 * 44100 / 2048) << "the fixture must claim ten hours";
    SpectrogramColumns columns(planned, kSpectrogramMaxColumns);
    ReadSpectrogramColumns(stream, planned, columns);
    BASS_StreamFree(stream);

    const std::int64_t held = 10 * 44100 / 2048 + 1; // the last, partial frame is padded
    EXPECT_EQ(columns.frames(), held);
    EXPECT_LE(columns.levels().capacityBytes(),
              std::size_t(held + SpectrogramLevels::kFramesPerBlock) * kSpectrogramBins);

    QImage picture;
    RenderSpectrogram(path, picture);
    EXPECT_EQ(picture.size(), QSize(int(held), 1024));
}

TEST(SpectrogramMemory, RenderingALyingStreamStaysSmall) {
    if (kOwnHeap)
        GTEST_SKIP() << "this heap is invisible to mallinfo2";
    const QString path = QStringLiteral("/scripted/claims-ten-hours.mp3");
    std::size_t peak = 0;
    std::size_t before = 0;
    QImage picture;
    {
        const FileRoute route(path, [&peak] {
            auto source = std::make_unique<LyingSource>();
            source->peakHeap = &peak;
            return source;
        });
        before = HeapInUse();
        RenderSpectrogram(path, picture);
    }

    ASSERT_EQ(picture.width(), 216); // ten seconds of 2048-sample frames
    // Ten hours of cells would be 794 MB; ten seconds fit in one 2 MiB block
    // (reserved as 4 MiB of address space to align it).
    EXPECT_LT(peak - std::min(peak, before), std::size_t(16) << 20);
}
