#pragma once

#include "analysis/StreamCodec.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>

// What a decoding channel offers the BASS_* layer. DecoderStream is the real
// one; tests put scripted sources behind a path to drive the analysis and the
// renderer through the very calls they make in the program.
class ChannelSource {
public:
    virtual ~ChannelSource() = default;

    virtual std::uint32_t sampleRate() const = 0;
    virtual int channels() const = 0;
    // Average bitrate of the audio stream in kbps, when it can be known.
    virtual std::optional<double> bitrateKbps() = 0;
    // How the audio stream is coded; Unknown when the source cannot tell.
    virtual StreamCodec codec() const { return StreamCodec::Unknown; }
    // Length in sample frames, when the container states it.
    virtual std::optional<std::int64_t> lengthFrames() const = 0;
    // Decodes the next 2048 sample frames (zero-padding a final partial one)
    // and writes 1024 magnitudes. Returns the number of real sample frames
    // consumed, 0 at the end of the stream.
    virtual int nextFft2048(float magnitudes[1024]) = 0;
    // Ties the source to the stop token of the work it serves: once a stop is
    // requested, nextFft2048 returns 0 at its next read of the file.
    virtual void stopOn(std::stop_token) {}
};

// Where a DecoderSetup's file sources come from: for a path, a source to use
// instead of decoding the file, or nullptr to decode it. The programs have
// none; the test programs route chosen paths to scripted sources this way,
// so the analysis and the renderer run through the very calls they make in
// the program.
using ChannelSourceFactory = std::function<std::unique_ptr<ChannelSource>(const QString& path)>;
