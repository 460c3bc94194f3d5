#include "analysis/SpectrogramError.h"

#include <QFileInfo>

SpectrogramError SpectrogramOpenError(DecodeError error, const QString& path) {
    switch (error) {
    case DecodeError::CannotOpen: {
        // One reason covers a name that is not there and one that is no file.
        const QFileInfo info(path);
        if (path.isEmpty())
            return SpectrogramError::CannotRead;
        if (!info.exists())
            return SpectrogramError::NoSuchFile;
        if (info.isDir())
            return SpectrogramError::IsFolder;
        return SpectrogramError::CannotRead;
    }
    case DecodeError::NotMedia:
        return SpectrogramError::NotAudio;
    case DecodeError::NoDecoder:
        return SpectrogramError::NoDecoder;
    case DecodeError::UnsupportedFormat:
        return SpectrogramError::UnsupportedFormat;
    case DecodeError::OutOfMemory:
        return SpectrogramError::OutOfMemory;
    case DecodeError::LayerClosed:
        return SpectrogramError::DecoderUnavailable;
    }
    return SpectrogramError::CannotDecode;
}

QString SpectrogramErrorText(SpectrogramError error, int decoderCode) {
    switch (error) {
    case SpectrogramError::None:
        return QString();
    case SpectrogramError::Cancelled:
        return QStringLiteral("cancelled");
    case SpectrogramError::OutOfMemory:
        return QStringLiteral("not enough memory");
    case SpectrogramError::DecoderUnavailable:
        return QStringLiteral("the decoder could not be started");
    case SpectrogramError::NoSuchFile:
        return QStringLiteral("no such file");
    case SpectrogramError::IsFolder:
        return QStringLiteral("it is a folder");
    case SpectrogramError::CannotRead:
        return QStringLiteral("it cannot be read");
    case SpectrogramError::NotAudio:
        return QStringLiteral("not an audio or video file with sound");
    case SpectrogramError::NoDecoder:
        return QStringLiteral("no decoder for its sound");
    case SpectrogramError::UnsupportedFormat:
        return QStringLiteral("unsupported sample rate or channel count");
    case SpectrogramError::CannotDecode:
        return QStringLiteral("it cannot be decoded (error %1)").arg(decoderCode);
    case SpectrogramError::TooShort:
        return QStringLiteral("shorter than 2048 samples, or of unknown length");
    case SpectrogramError::NoSound:
        return QStringLiteral("no sound could be decoded from it");
    }
    return QStringLiteral("it cannot be drawn");
}
