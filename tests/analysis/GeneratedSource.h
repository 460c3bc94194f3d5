#pragma once

#include "analysis/ChannelSource.h"
#include "support/FileRoute.h"

#include <QString>
#include <cstdint>
#include <functional>

// A source that makes its frames as they are asked for: it can claim any
// length, deliver any number of frames, and count or watch the reads.
class GeneratedSource final : public ChannelSource {
public:
    std::int64_t claimedFrames = 0; // length the "header" states, in samples
    std::int64_t available = 0;     // FFT frames it can actually deliver
    std::uint32_t rate = 44100;
    std::function<void(std::int64_t frame, float* magnitudes)> fill;
    std::int64_t* reads = nullptr;
    std::function<void()> onRead;

    std::uint32_t sampleRate() const override { return rate; }
    int channels() const override { return 2; }
    std::optional<double> bitrateKbps() override { return 320.0; }
    std::optional<std::int64_t> lengthFrames() const override { return claimedFrames; }
    int nextFft2048(float magnitudes[1024]) override;

private:
    std::int64_t m_next = 0;
};

// Routes one path to a fresh copy of `prototype` while alive.
class ScopedGeneratedFile {
public:
    ScopedGeneratedFile(const QString& path, const GeneratedSource& prototype);

private:
    FileRoute m_route;
};
