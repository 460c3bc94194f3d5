#include "HostileMedia.h"

#include "analysis/BASS.h"

#include <QFile>
#include <array>

namespace hostile {

namespace {

struct OpenStream {
    explicit OpenStream(const QString& path)
        : handle(BASS_StreamCreateFile(FALSE, path.utf16(), 0, 0,
                                       BASS_STREAM_DECODE | BASS_UNICODE)) {}
    ~OpenStream() {
        if (handle)
            BASS_StreamFree(handle);
    }
    HSTREAM handle;
};

} // namespace

void PutLE16(QByteArray& bytes, qsizetype at, std::uint16_t value) {
    bytes[at] = char(value & 0xff);
    bytes[at + 1] = char(value >> 8);
}

void PutLE32(QByteArray& bytes, qsizetype at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = char((value >> (8 * i)) & 0xff);
}

void PutBE32(QByteArray& bytes, qsizetype at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = char((value >> (8 * (3 - i))) & 0xff);
}

void Scramble(QByteArray& bytes, qsizetype from, qsizetype count, std::uint32_t seed) {
    std::uint32_t state = seed * 2654435761u + 1;
    for (qsizetype i = from; i < from + count && i < bytes.size(); ++i) {
        state = state * 1664525u + 1013904223u;
        bytes[i] = char(state >> 24);
    }
}

int CountFrames(const QString& path) {
    OpenStream stream(path);
    if (!stream.handle)
        return -1;
    std::array<float, 1024> frame{};
    int frames = 0;
    while (BASS_ChannelGetData(stream.handle, frame.data(), BASS_DATA_FFT2048) != BASS_DATA_ERROR)
        ++frames;
    return frames;
}

double ClaimedSeconds(const QString& path) {
    OpenStream stream(path);
    if (!stream.handle)
        return -1.0;
    const QWORD bytes = BASS_ChannelGetLength(stream.handle, BASS_POS_BYTE);
    if (bytes == QWORD(-1))
        return -1.0;
    return BASS_ChannelBytes2Seconds(stream.handle, bytes);
}

} // namespace hostile
