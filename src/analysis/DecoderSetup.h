#pragma once

#include "analysis/ChannelSource.h"

#include <QString>
#include <memory>

// What FFmpeg may say on standard error.
enum class DecoderLog {
    Silent,        // nothing: damaged files are reported in their results
    FFmpegDefault, // FFmpeg's own level (warnings and errors)
};

// The decoder's process-wide settings, made once in main() before any file is
// opened and kept until main() returns: the cap on any single allocation
// inside FFmpeg, FFmpeg's log level, and the decoding layer opened as
// BASS_Init opens it. Without one, BASS_Init fails with BASS_ERROR_INIT.
// On destruction it frees every stream still open.
class DecoderSetup {
public:
    // `fileSources`, when given, is asked first for every file a stream is
    // opened on (BASS_StreamCreateFile, CreateFileStream). Throws
    // std::logic_error when another setup exists.
    explicit DecoderSetup(DecoderLog log = DecoderLog::Silent,
                          ChannelSourceFactory fileSources = {});
    ~DecoderSetup();
    DecoderSetup(const DecoderSetup&) = delete;
    DecoderSetup& operator=(const DecoderSetup&) = delete;

    // Whether one exists now.
    static bool active();

    // The source the active setup's file sources give for `path`; nullptr
    // when there is no setup, it has no file sources, or they leave the path
    // to the decoder.
    static std::unique_ptr<ChannelSource> fileSource(const QString& path);

private:
    ChannelSourceFactory m_fileSources;
};
