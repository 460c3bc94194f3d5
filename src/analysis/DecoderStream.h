#pragma once

#include "analysis/ChannelSource.h"
#include "analysis/Fft2048.h"

#include <QByteArray>
#include <cstdint>
#include <memory>
#include <optional>
#include <stop_token>
#include <vector>

struct AVFormatContext;
struct AVCodecContext;
struct AVPacket;
struct AVFrame;
struct SwrContext;
class DecoderInput;

// Every audio decoder FFmpeg has, comma-separated: the only decoders a file's
// probing may open. Otherwise video and picture decoders would run on a
// hostile file's bytes too, and we never decode anything but sound.
const char* AudioDecoderNames();

// One decoding stream over FFmpeg: the first audio stream of a file (or of an
// in-memory file), decoded to mono floats and cut into 2048-sample FFT
// frames. Every FFmpeg object is owned here and freed exactly once.
class DecoderStream final : public ChannelSource {
public:
    // Returns null and sets `error` (a BASS_ERROR_* code) when the file
    // cannot be opened as audio. Once `stop` is requested, opening and
    // decoding end at the next read (see DecoderInput::stopOn).
    static std::unique_ptr<DecoderStream> openFile(const QString& path, int& error,
                                                   std::stop_token stop = {});
    // `data` must outlive the stream.
    static std::unique_ptr<DecoderStream> openMemory(const void* data, std::size_t size,
                                                     int& error);

    ~DecoderStream() override;

    std::uint32_t sampleRate() const override { return m_sampleRate; }
    int channels() const override { return m_channels; }
    std::optional<double> bitrateKbps() override;
    std::optional<std::int64_t> lengthFrames() const override { return m_lengthFrames; }
    int nextFft2048(float magnitudes[1024]) override;
    void stopOn(std::stop_token stop) override;

    // Null, with `error` set, when `input` holds no audio we can decode.
    static std::unique_ptr<DecoderStream> openInput(std::unique_ptr<DecoderInput> input,
                                                    int& error);

    // Bytes the demuxer has read so far, re-reads included.
    std::int64_t bytesRead() const;

private:
    DecoderStream();
    int open(std::unique_ptr<DecoderInput> input);
    bool refill(); // decodes until more mono samples are pending; false at the end
    bool appendFrame(const AVFrame* frame);
    std::optional<double> scanAudioBitrate() const;

    std::unique_ptr<DecoderInput> m_input;
    AVFormatContext* m_format = nullptr;
    AVCodecContext* m_codec = nullptr;
    AVPacket* m_packet = nullptr;
    AVFrame* m_frame = nullptr;
    SwrContext* m_swr = nullptr;
    int m_swrFormat = -1;
    int m_swrChannels = 0;
    int m_streamIndex = -1;
    bool m_demuxDone = false;
    bool m_decoderDrained = false;
    int m_failedFrames = 0;           // decoding errors since the last frame or packet taken
    std::int64_t m_decodedFrames = 0; // sample frames out of the decoder so far

    std::uint32_t m_sampleRate = 0;
    int m_channels = 0;
    std::optional<std::int64_t> m_lengthFrames;
    std::optional<std::optional<double>> m_bitrateCache;

    std::vector<float> m_pending; // mono samples not yet handed out
    std::size_t m_pendingStart = 0;
    std::vector<float> m_planes; // scratch for sample-format conversion
    Fft2048 m_fft;
};
