#include "analysis/StreamCodec.h"

QString StreamCodecName(StreamCodec codec) {
    switch (codec) {
    case StreamCodec::Unknown:
        break;
    case StreamCodec::Pcm:
        return QStringLiteral("PCM");
    case StreamCodec::Flac:
        return QStringLiteral("FLAC");
    case StreamCodec::Alac:
        return QStringLiteral("ALAC");
    case StreamCodec::WavPack:
        return QStringLiteral("WavPack");
    case StreamCodec::MonkeysAudio:
        return QStringLiteral("APE");
    case StreamCodec::Tta:
        return QStringLiteral("TTA");
    case StreamCodec::OtherLossless:
        return QStringLiteral("lossless");
    case StreamCodec::Mp3:
        return QStringLiteral("MP3");
    case StreamCodec::Mp2:
        return QStringLiteral("MP2");
    case StreamCodec::Aac:
        return QStringLiteral("AAC");
    case StreamCodec::Vorbis:
        return QStringLiteral("Vorbis");
    case StreamCodec::Opus:
        return QStringLiteral("Opus");
    case StreamCodec::Wma:
        return QStringLiteral("WMA");
    case StreamCodec::Ac3:
        return QStringLiteral("AC-3");
    case StreamCodec::OtherLossy:
        return QStringLiteral("lossy");
    }
    return QStringLiteral("unknown");
}
