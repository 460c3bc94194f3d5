#pragma once

#include <QString>
#include <cstdint>

// The coding of a file's audio stream, as far as the second opinion needs it:
// which lossy family shaped the sound, or that nothing lossy did. The numbers
// are what BASS_ChannelGetInfo reports in `ctype` (our own stable table).
enum class StreamCodec : std::uint32_t {
    Unknown = 0,
    // Lossless or uncompressed: the file carries what it was given.
    Pcm = 0x100,
    Flac = 0x101,
    Alac = 0x102,
    WavPack = 0x103,
    MonkeysAudio = 0x104,
    Tta = 0x105,
    OtherLossless = 0x1ff,
    // Lossy: the codec has shaped the sound itself.
    Mp3 = 0x200,
    Mp2 = 0x201,
    Aac = 0x202,
    Vorbis = 0x203,
    Opus = 0x204,
    Wma = 0x205,
    Ac3 = 0x206,
    OtherLossy = 0x2ff,
};

inline bool IsLossless(StreamCodec codec) {
    return (std::uint32_t(codec) & 0xf00) == 0x100;
}
inline bool IsLossy(StreamCodec codec) {
    return (std::uint32_t(codec) & 0xf00) == 0x200;
}

// "MP3", "FLAC", ...; "unknown" for Unknown.
QString StreamCodecName(StreamCodec codec);
