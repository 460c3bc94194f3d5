#pragma once

#include "analysis/ChannelSource.h"
#include "support/FileRoute.h"

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

// A decoding channel whose every frame carries a chosen spectrum: lets a test
// drive the analysis and the renderer through the real BASS_* calls.
class ScriptedSource final : public ChannelSource {
public:
    std::uint32_t rate = 44100;
    int channelCount = 2;
    std::optional<double> kbps = 320.0;
    std::optional<std::int64_t> frames;      // claimed length in sample frames
    std::vector<std::vector<float>> spectra; // one 1024-bin frame each, delivered in order
    int* framesDelivered = nullptr;          // optional counter for the test

    std::uint32_t sampleRate() const override { return rate; }
    int channels() const override { return channelCount; }
    std::optional<double> bitrateKbps() override { return kbps; }
    std::optional<std::int64_t> lengthFrames() const override { return frames; }
    int nextFft2048(float magnitudes[1024]) override;

private:
    std::size_t m_next = 0;
};

// A 1024-bin magnitude frame from levels in dB (full scale = 0 dB).
std::vector<float> FrameFromDb(const std::vector<double>& levelsDb);

// Routes one path to a scripted source for the lifetime of the object.
class ScopedScriptedFile {
public:
    ScopedScriptedFile(const QString& path, ScriptedSource prototype);

private:
    FileRoute m_route;
};
