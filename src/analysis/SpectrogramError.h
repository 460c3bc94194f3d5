// Why a spectrogram could not be drawn, as the renderer learns it in its one
// pass over the file, and the words the program shows for it.
#pragma once

#include "analysis/DecodeError.h"

#include <QString>
#include <cstdint>

enum class SpectrogramError : std::uint8_t {
    None,
    Cancelled,          // the caller asked it to stop
    OutOfMemory,        // the level matrix or the picture could not be had
    DecoderUnavailable, // the decoding layer is not open (no DecoderSetup, or released)
    NoSuchFile,
    IsFolder,
    CannotRead,        // there, but not a regular file we may read
    NotAudio,          // not a media file, or no audio stream in it
    NoDecoder,         // no decoder for its audio stream's codec
    UnsupportedFormat, // a sample rate or channel count out of bounds
    CannotDecode,      // any other failure on the way (its code says which, when it has one)
    TooShort,          // no whole 2048-sample frame planned: short, or of unknown length
    NoSound,           // opened, but not a single frame came out
};

// The reason of a failed stream open, from the decoding layer's own. `path`
// tells a missing file and a folder from other unreadable names; it is
// looked at, never opened again.
SpectrogramError SpectrogramOpenError(DecodeError error, const QString& path);

// Lower-case words that complete "cannot render 'FILE': ". `decoderCode` is
// named only for CannotDecode.
QString SpectrogramErrorText(SpectrogramError error, int decoderCode = 0);
