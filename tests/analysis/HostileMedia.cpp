#include "HostileMedia.h"

#include "analysis/BASS.h"

#include <QFile>
#include <array>
#include <bit>

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

// EBML, Matroska's encoding: an element is its identifier (written with its
// own length marker), its size (here always eight bytes) and its payload.
QByteArray Element(std::uint32_t id, const QByteArray& payload) {
    QByteArray out;
    for (int shift = 24; shift >= 0; shift -= 8)
        if ((id >> shift) != 0)
            out.append(char((id >> shift) & 0xff));
    out.append('\x01');
    for (int shift = 48; shift >= 0; shift -= 8)
        out.append(char((quint64(payload.size()) >> shift) & 0xff));
    return out + payload;
}

QByteArray Unsigned(std::uint32_t id, std::uint64_t value) {
    QByteArray bytes;
    for (int shift = 56; shift >= 0; shift -= 8)
        bytes.append(char((value >> shift) & 0xff));
    return Element(id, bytes);
}

QByteArray Text(std::uint32_t id, const char* text) {
    return Element(id, QByteArray(text));
}

} // namespace

QByteArray MatroskaWithBlockDurations(int packets, std::uint64_t blockDuration,
                                      const QByteArray& payload) {
    const QByteArray header =
        Element(0x1A45DFA3, Unsigned(0x4286, 1) + Unsigned(0x42F7, 1) + Unsigned(0x42F2, 4) +
                                Unsigned(0x42F3, 8) + Text(0x4282, "matroska") +
                                Unsigned(0x4287, 4) + Unsigned(0x4285, 2));
    // A time scale of one nanosecond: block durations are taken as they stand.
    const QByteArray info =
        Element(0x1549A966, Unsigned(0x2AD7B1, 1) + Text(0x4D80, "k") + Text(0x5741, "k"));
    double rate = 48000.0;
    QByteArray rateBytes(8, '\0');
    const auto bits = std::bit_cast<std::uint64_t>(rate);
    for (int i = 0; i < 8; ++i)
        rateBytes[i] = char((bits >> (56 - 8 * i)) & 0xff);
    const QByteArray audio =
        Element(0xE1, Element(0xB5, rateBytes) + Unsigned(0x9F, 1) + Unsigned(0x6264, 16));
    const QByteArray track = Element(0xAE, Unsigned(0xD7, 1) + Unsigned(0x73C5, 1) +
                                               Unsigned(0x83, 2) + Text(0x86, "A_TTA1") + audio);
    QByteArray blocks;
    for (int i = 0; i < packets; ++i) {
        // Track 1, time 0 in the cluster, no lacing.
        const QByteArray block = QByteArray("\x81\x00\x00\x00", 4) + payload;
        blocks += Element(0xA0, Element(0xA1, block) + Unsigned(0x9B, blockDuration));
    }
    const QByteArray cluster = Element(0x1F43B675, Unsigned(0xE7, 0) + blocks);
    // A segment of unknown size, as a live stream writes it.
    return header + QByteArray("\x18\x53\x80\x67\x01\xff\xff\xff\xff\xff\xff\xff", 12) + info +
           Element(0x1654AE6B, track) + cluster;
}

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
