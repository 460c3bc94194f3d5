// Korvane's decoding layer. The ten operations keep the names and the calling
// conventions of the closed decoding library the program was designed around,
// so a Windows build could link that library instead; here they are served by
// our own decoder over FFmpeg (DecoderStream).
//
// Differences a caller may meet:
//  - With BASS_UNICODE the file name is a NUL-terminated UTF-16 string
//    (char16_t, as QString::utf16() gives it) on every platform; without it,
//    a NUL-terminated UTF-8 string.
//  - With mem = TRUE, `file` points at `length` bytes of an in-memory file.
//  - Error codes are a small stable table of our own (see below); they are
//    per thread, so streams may be used on several threads at once, one
//    stream per thread.
#pragma once

#include <cstddef>
#include <cstdint>

using DWORD = std::uint32_t;
using QWORD = std::uint64_t;
using BOOL = int;
using HSTREAM = DWORD;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

// Error codes returned by BASS_ErrorGetCode().
enum : int {
    BASS_OK = 0,
    BASS_ERROR_MEM = 1,       // out of memory
    BASS_ERROR_FILEOPEN = 2,  // the file cannot be opened or is not a regular file
    BASS_ERROR_HANDLE = 5,    // the handle is not a stream of ours
    BASS_ERROR_FORMAT = 6,    // sample rate or channel count outside what we accept
    BASS_ERROR_INIT = 8,      // BASS_Init has not been called
    BASS_ERROR_ALREADY = 14,  // BASS_Init called twice
    BASS_ERROR_ILLPARAM = 20, // an argument is invalid
    BASS_ERROR_DEVICE = 23,   // only device 0 (no output) exists
    BASS_ERROR_NOTAVAIL = 37, // the value is not available (e.g. unknown length)
    BASS_ERROR_FILEFORM = 41, // not a media file, or no audio stream in it
    BASS_ERROR_CODEC = 44,    // no decoder for the audio stream
    BASS_ERROR_ENDED = 45,    // the stream has ended
    BASS_ERROR_UNKNOWN = -1,
};

inline constexpr DWORD BASS_STREAM_DECODE = 0x200000;
inline constexpr DWORD BASS_UNICODE = 0x80000000;
inline constexpr DWORD BASS_ATTRIB_BITRATE = 12;
inline constexpr DWORD BASS_POS_BYTE = 0;
inline constexpr DWORD BASS_DATA_FFT2048 = 0x80000003;
inline constexpr DWORD BASS_DATA_ERROR = 0xFFFFFFFF;

// What we accept from a stream: a 10 MHz "sample rate" or hundreds of
// channels are signs of a damaged header, not of real audio (768 kHz is the
// fastest rate converters record at; 64 channels covers ambisonic and
// immersive masters). Other opens fail with BASS_ERROR_FORMAT. The decoder
// also bounds its work per file (DecoderInput, DecoderStream): regular files
// only, read no further than their size at opening and at most 256 MiB past
// the last decoded audio; no more than 16384 sample frames per byte read;
// samples that are not finite or lie 60 dB over full scale count as silence.
inline constexpr DWORD KORVANE_MAX_SAMPLE_RATE = 768000;
inline constexpr int KORVANE_MAX_CHANNELS = 64;
// The largest single block the decoder may allocate, set by DecoderSetup for
// the whole process: far above any real need (a long film's index, an
// uncompressed 4K picture, cover art), far below what a few bytes of a forged
// header can ask for (a 4 KB WAV whose INFO chunk claims 2 GB has it zeroed).
inline constexpr std::size_t KORVANE_MAX_ALLOCATION = std::size_t(256) << 20;

struct BASS_CHANNELINFO {
    DWORD freq;  // sample rate in Hz
    DWORD chans; // channels
    DWORD flags;
    DWORD ctype;   // how the stream is coded: a StreamCodec value (analysis/StreamCodec.h)
    DWORD origres; // bits per sample of the source, 0 when not known
    DWORD plugin;
    DWORD sample;
    const char* filename;
};

BOOL BASS_Init(int device, DWORD freq, DWORD flags, void* win, const void* clsid);
BOOL BASS_Free();
HSTREAM BASS_StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length, DWORD flags);
int BASS_ErrorGetCode();
BOOL BASS_ChannelGetInfo(DWORD handle, BASS_CHANNELINFO* info);
BOOL BASS_ChannelGetAttribute(DWORD handle, DWORD attrib, float* value);
QWORD BASS_ChannelGetLength(DWORD handle, DWORD mode);
double BASS_ChannelBytes2Seconds(DWORD handle, QWORD pos);
DWORD BASS_ChannelGetData(DWORD handle, void* buffer, DWORD length);
BOOL BASS_StreamFree(HSTREAM handle);
