#include "analysis/CodecWalls.h"

#include <array>
#include <cmath>

namespace {

struct RateFloor {
    std::int32_t minKbps;
    double floorHz;
};

// Per codec, the lowest band end seen from common encoders at or above each
// rate (stereo). MP3: LAME ends at 15.5 (96 kbps) up to 20.1-20.5 kHz (320), older
// encoders about 1 kHz lower at the middle rates; VBR files land on the row of
// their average rate. AAC: 16 kHz at 96 kbps up to 20 kHz and more from 256.
// Vorbis: 17 kHz at 96 kbps, 19 to 20 kHz from 128. Opus: 20 kHz from its
// fullband rates on.
constexpr std::array<RateFloor, 9> kMp3{{{320, 20000.0},
                                         {256, 18800.0},
                                         {224, 18500.0},
                                         {192, 17500.0},
                                         {160, 16500.0},
                                         {128, 15500.0},
                                         {112, 14500.0},
                                         {96, 14000.0},
                                         {80, 12500.0}}};
constexpr std::array<RateFloor, 5> kAac{
    {{256, 19800.0}, {192, 17500.0}, {160, 16500.0}, {128, 15500.0}, {96, 14000.0}}};
constexpr std::array<RateFloor, 3> kVorbis{{{160, 18500.0}, {128, 17000.0}, {96, 15500.0}}};
constexpr std::array<RateFloor, 1> kOpus{{{32, 19500.0}}};
constexpr std::array<RateFloor, 2> kWma{{{160, 17000.0}, {128, 15500.0}}};

template <std::size_t N> double Lookup(const std::array<RateFloor, N>& table, std::int32_t kbps) {
    for (const RateFloor& row : table) {
        if (kbps >= row.minKbps)
            return row.floorHz;
    }
    return 0.0;
}

struct KnownWall {
    const char* codec;
    int kbps;
    double wallHz;
};

// Where the band ends (the level reaching the floor) in the encoders' output.
constexpr std::array<KnownWall, 14> kKnownWalls{{
    {"MP3", 64, 11000.0},
    {"MP3", 80, 13500.0},
    {"MP3", 96, 15300.0},
    {"MP3", 112, 15700.0},
    {"MP3", 128, 16000.0},
    {"MP3", 128, 16900.0},
    {"MP3", 160, 17600.0},
    {"MP3", 192, 18800.0},
    {"MP3", 256, 19600.0},
    {"MP3", 320, 20400.0},
    {"AAC", 128, 17400.0},
    {"AAC", 160, 18100.0},
    {"AAC", 192, 19500.0},
    {"Opus", 0, 20000.0},
}};

} // namespace

double OwnWallFloorHz(StreamCodec codec, std::int32_t kbps) {
    switch (codec) {
    case StreamCodec::Mp3:
        return Lookup(kMp3, kbps);
    case StreamCodec::Aac:
        return Lookup(kAac, kbps);
    case StreamCodec::Vorbis:
        return Lookup(kVorbis, kbps);
    case StreamCodec::Opus:
        return Lookup(kOpus, kbps);
    case StreamCodec::Wma:
        return Lookup(kWma, kbps);
    default:
        break;
    }
    return 0.0;
}

QString LossySourceForWall(double wallHz, std::uint32_t sampleRate) {
    // Encoders scale their low-pass with the rate below 44.1 kHz; the table
    // holds for 44.1 and 48 kHz only.
    if (sampleRate < 44100)
        return {};
    const KnownWall* best = nullptr;
    double bestDistance = 400.0; // Hz: farther than this names nothing
    for (const KnownWall& known : kKnownWalls) {
        const double distance = std::fabs(known.wallHz - wallHz);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = &known;
        }
    }
    if (!best)
        return {};
    if (best->kbps == 0)
        return QString::fromLatin1(best->codec);
    return QStringLiteral("%1 ~%2 kbps").arg(QString::fromLatin1(best->codec)).arg(best->kbps);
}
