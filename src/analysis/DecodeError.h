#pragma once

// Why the decoder could not give a stream. These stay inside the decoding
// layer; the BASS_* functions turn them into their stable error numbers.
enum class DecodeError {
    OutOfMemory,       // an allocation failed
    CannotOpen,        // the file cannot be opened, or is not a regular file
    UnsupportedFormat, // a sample rate or channel count no real audio has: a damaged header
    NotMedia,          // not a media file we can read, or no audio stream in it
    NoDecoder,         // no decoder for the audio stream's codec
    LayerClosed,       // the decoding layer is not open: no BASS_Init, or BASS_Free since
};
