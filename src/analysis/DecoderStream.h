#pragma once

#include "analysis/ChannelSource.h"
#include "analysis/DecodeResult.h"
#include "analysis/FfmpegPtr.h"
#include "analysis/Fft2048.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <stop_token>
#include <utility>
#include <vector>

class DecoderInput;

// Every audio decoder FFmpeg has, comma-separated: the only decoders a file's
// probing may open. Otherwise video and picture decoders would run on a
// hostile file's bytes too, and we never decode anything but sound.
const char* AudioDecoderNames();

// One decoding stream over FFmpeg: the first audio stream of a file (or of an
// in-memory file), decoded to mono floats and cut into 2048-sample FFT
// frames.
class DecoderStream final : public ChannelSource {
public:
    // Fails when the file cannot be opened as audio. Once `stop` is
    // requested, opening and decoding end at the next read (see
    // DecoderInput::stopOn).
    static DecodeResult<std::unique_ptr<DecoderStream>> openFile(const QString& path,
                                                                 std::stop_token stop = {});
    // `data` must outlive the stream.
    static DecodeResult<std::unique_ptr<DecoderStream>> openMemory(const void* data,
                                                                   std::size_t size);

    ~DecoderStream() override;

    std::uint32_t sampleRate() const override { return m_sampleRate; }
    int channels() const override { return m_channels; }
    std::optional<double> bitrateKbps() override;
    std::optional<std::int64_t> lengthFrames() const override { return m_lengthFrames; }
    StreamCodec codec() const override { return m_codecKind; }
    int nextFft2048(float magnitudes[1024]) override;
    void stopOn(std::stop_token stop) override;

    // Fails when `input` holds no audio we can decode.
    static DecodeResult<std::unique_ptr<DecoderStream>>
    openInput(std::unique_ptr<DecoderInput> input);

    // Bytes the demuxer has read so far, re-reads included.
    std::int64_t bytesRead() const;

private:
    DecoderStream(std::unique_ptr<DecoderInput> input, FfmpegPtr<AVFormatContext> format,
                  int streamIndex, FfmpegPtr<AVCodecContext> codec, FfmpegPtr<AVPacket> packet,
                  FfmpegPtr<AVFrame> frame);
    bool refill(); // decodes until more mono samples are pending; false at the end
    bool appendFrame(const AVFrame* frame);
    std::optional<double> findBitrate() const;
    std::optional<double> scanAudioBitrate() const;

    // Declared first, so freed last: the demuxer reads through its
    // AVIOContext until the demuxer itself is freed.
    std::unique_ptr<DecoderInput> m_input;
    FfmpegPtr<AVFormatContext> m_format;
    FfmpegPtr<AVCodecContext> m_codec;
    FfmpegPtr<AVPacket> m_packet;
    FfmpegPtr<AVFrame> m_frame;
    FfmpegPtr<SwrContext> m_swr;
    int m_swrFormat = -1;
    int m_swrChannels = 0;
    int m_streamIndex = -1;
    bool m_demuxDone = false;
    bool m_decoderDrained = false;
    int m_failedFrames = 0;           // decoding errors since the last frame or packet taken
    std::int64_t m_decodedFrames = 0; // sample frames out of the decoder so far

    StreamCodec m_codecKind = StreamCodec::Unknown;
    std::uint32_t m_sampleRate = 0;
    int m_channels = 0;
    std::optional<std::int64_t> m_lengthFrames;
    // Worked out on the first request only: it may take a scan of the whole file.
    bool m_bitrateWorkedOut = false;
    std::optional<double> m_bitrateKbps; // empty when the file does not tell

    // Grows without zeroing: every sample is written before it is read.
    template <typename T> struct UninitialisedAllocator : std::allocator<T> {
        template <typename U> void construct(U* p) noexcept { ::new (static_cast<void*>(p)) U; }
        template <typename U, typename... Args> void construct(U* p, Args&&... args) {
            ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
        }
    };
    std::vector<float, UninitialisedAllocator<float>> m_pending; // mono samples not yet handed out
    std::size_t m_pendingStart = 0;
    std::vector<float> m_planes; // scratch for sample-format conversion
    Fft2048 m_fft;
};
