#include "analysis/DecoderStream.h"

#include "analysis/BASS.h"
#include "analysis/DecoderInput.h"
#include "analysis/VectorClones.h"

#include <QFile>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/codec_desc.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/mem.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

namespace {

// Sample frames one byte read may decode to. The most compact real audio,
// digital silence in 65535-sample FLAC blocks, gives under 6000; beyond this a
// decoder is making sound out of next to nothing and the rest is not read.
constexpr std::int64_t kMaxFramesPerByte = 16384;
// What a small file's headers may legitimately imply before that ratio holds.
constexpr std::int64_t kFrameAllowance = std::int64_t(1) << 20;

// Decoding errors in a row, with neither a frame nor a new packet between
// them, before a decoder is taken to be stuck rather than working through a
// damaged stretch (that one costs bytes read, which the input's budget bounds).
constexpr int kMaxFailedFrames = 64;

// Float formats carry whatever the file holds. A not-a-number or an infinity
// would poison every FFT bin of its frame and the whole file's mean with it,
// and nothing 60 dB over full scale is sound: such samples count as silence.
constexpr float kMaxSampleLevel = 1000.0f;

// A count that grows by what a file claims, packet after packet: it stops at
// the largest value instead of wrapping.
std::int64_t AddSaturating(std::int64_t sum, std::int64_t more) {
    std::int64_t result = 0;
    return __builtin_add_overflow(sum, more, &result)
               ? (more > 0 ? std::numeric_limits<std::int64_t>::max()
                           : std::numeric_limits<std::int64_t>::min())
               : result;
}

// A statistics tag's bits per second: decimal digits only, within 64 bits,
// above zero. A tag is text anyone can write.
std::optional<std::int64_t> TagBitsPerSecond(const char* text) {
    if (!text || *text < '0' || *text > '9')
        return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text, &end, 10);
    if (errno == ERANGE || *end != '\0' || value <= 0)
        return std::nullopt;
    return value;
}

// Written as a select so that the loops calling it vectorise.
float Sound(float sample) {
    return std::fabs(sample) <= kMaxSampleLevel ? sample : 0.0f; // also catches not-a-number
}

// Nested opens (playlists, concat lists, image sequences) could reach other
// files, devices or the network; a media file is read from its own bytes only.
int RefuseNestedOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**) {
    return AVERROR(EPERM);
}

// A demuxer over `input`, its header read.
DecodeResult<FfmpegPtr<AVFormatContext>> OpenFormat(DecoderInput& input) {
    FfmpegPtr<AVFormatContext> format(avformat_alloc_context());
    if (!format)
        return DecodeError::OutOfMemory;
    format->codec_whitelist = av_strdup(AudioDecoderNames()); // freed with the context
    if (!format->codec_whitelist)
        return DecodeError::OutOfMemory;
    format->pb = input.io();
    format->flags |= AVFMT_FLAG_CUSTOM_IO;
    format->io_open = RefuseNestedOpen;
    format->interrupt_callback = AVIOInterruptCB{&DecoderInput::Interrupt, &input};
    // On failure avformat_open_input frees the context itself.
    AVFormatContext* opening = format.release();
    if (avformat_open_input(&opening, nullptr, nullptr, nullptr) < 0)
        return DecodeError::NotMedia;
    format.reset(opening);
    if (avformat_find_stream_info(format.get(), nullptr) < 0)
        return DecodeError::NotMedia;
    input.headerRead();
    return format;
}

// A decoder for `stream`, opened.
DecodeResult<FfmpegPtr<AVCodecContext>> OpenDecoder(const AVStream& stream) {
    const AVCodec* codec = avcodec_find_decoder(stream.codecpar->codec_id);
    if (!codec)
        return DecodeError::NoDecoder;
    FfmpegPtr<AVCodecContext> context(avcodec_alloc_context3(codec));
    if (!context)
        return DecodeError::OutOfMemory;
    if (avcodec_parameters_to_context(context.get(), stream.codecpar) < 0)
        return DecodeError::NoDecoder;
    // Files are analysed in parallel at the file level; one thread per decoder.
    context->thread_count = 1;
    context->pkt_timebase = stream.time_base;
    if (avcodec_open2(context.get(), codec, nullptr) < 0)
        return DecodeError::NoDecoder;
    return context;
}

// What real audio has; anything else is a damaged header.
bool PlausibleShape(const AVCodecParameters& par) {
    return par.sample_rate > 0 && DWORD(par.sample_rate) <= KORVANE_MAX_SAMPLE_RATE &&
           par.ch_layout.nb_channels > 0 && par.ch_layout.nb_channels <= KORVANE_MAX_CHANNELS;
}

// Demuxes `index` only; the other streams' packets are dropped unread.
void KeepOnlyStream(AVFormatContext& format, int index) {
    for (unsigned i = 0; i < format.nb_streams; ++i) {
        if (int(i) != index)
            format.streams[i]->discard = AVDISCARD_ALL;
    }
}

int FirstAudioStream(const AVFormatContext& format) {
    for (unsigned i = 0; i < format.nb_streams; ++i) {
        if (format.streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO)
            return int(i);
    }
    return -1;
}

StreamCodec CodecKind(AVCodecID id) {
    switch (id) {
    case AV_CODEC_ID_MP3:
        return StreamCodec::Mp3;
    case AV_CODEC_ID_MP2:
    case AV_CODEC_ID_MP1:
        return StreamCodec::Mp2;
    case AV_CODEC_ID_AAC:
    case AV_CODEC_ID_AAC_LATM:
        return StreamCodec::Aac;
    case AV_CODEC_ID_VORBIS:
        return StreamCodec::Vorbis;
    case AV_CODEC_ID_OPUS:
        return StreamCodec::Opus;
    case AV_CODEC_ID_WMAV1:
    case AV_CODEC_ID_WMAV2:
    case AV_CODEC_ID_WMAPRO:
        return StreamCodec::Wma;
    case AV_CODEC_ID_AC3:
    case AV_CODEC_ID_EAC3:
        return StreamCodec::Ac3;
    case AV_CODEC_ID_FLAC:
        return StreamCodec::Flac;
    case AV_CODEC_ID_ALAC:
        return StreamCodec::Alac;
    case AV_CODEC_ID_WAVPACK:
        return StreamCodec::WavPack;
    case AV_CODEC_ID_APE:
        return StreamCodec::MonkeysAudio;
    case AV_CODEC_ID_TTA:
        return StreamCodec::Tta;
    default:
        break;
    }
    // The rest by what FFmpeg knows of them: a lossless property without a
    // lossy one (PCM, TrueHD, WMA Lossless...) or a lossy one.
    const AVCodecDescriptor* descriptor = avcodec_descriptor_get(id);
    if (!descriptor)
        return StreamCodec::Unknown;
    if ((descriptor->props & AV_CODEC_PROP_LOSSY) != 0)
        return StreamCodec::OtherLossy;
    if ((descriptor->props & AV_CODEC_PROP_LOSSLESS) != 0)
        return std::string_view(descriptor->name).starts_with("pcm_") ? StreamCodec::Pcm
                                                                      : StreamCodec::OtherLossless;
    return StreamCodec::Unknown;
}

} // namespace

const char* AudioDecoderNames() {
    static const std::string names = [] {
        std::string list;
        void* state = nullptr;
        while (const AVCodec* codec = av_codec_iterate(&state)) {
            if (codec->type != AVMEDIA_TYPE_AUDIO || !av_codec_is_decoder(codec))
                continue;
            if (!list.empty())
                list += ',';
            list += codec->name;
        }
        return list;
    }();
    return names.c_str();
}

DecoderStream::DecoderStream(std::unique_ptr<DecoderInput> input, FfmpegPtr<AVFormatContext> format,
                             int streamIndex, FfmpegPtr<AVCodecContext> codec,
                             FfmpegPtr<AVPacket> packet, FfmpegPtr<AVFrame> frame)
    : m_input(std::move(input)), m_format(std::move(format)), m_codec(std::move(codec)),
      m_packet(std::move(packet)), m_frame(std::move(frame)), m_streamIndex(streamIndex) {
    const AVStream* stream = m_format->streams[m_streamIndex];
    const AVCodecParameters* par = stream->codecpar;
    m_codecKind = CodecKind(par->codec_id);
    m_sampleRate = std::uint32_t(par->sample_rate);
    m_channels = par->ch_layout.nb_channels;

    std::int64_t frames = 0;
    if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0)
        frames = av_rescale_q(stream->duration, stream->time_base, AVRational{1, par->sample_rate});
    else if (m_format->duration != AV_NOPTS_VALUE && m_format->duration > 0)
        frames = av_rescale(m_format->duration, par->sample_rate, AV_TIME_BASE);
    if (frames > 0)
        m_lengthFrames = frames;
}

DecoderStream::~DecoderStream() = default;

DecodeResult<std::unique_ptr<DecoderStream>> DecoderStream::openFile(const QString& path,
                                                                     std::stop_token stop) {
    DecodeResult<std::unique_ptr<DecoderInput>> input =
        DecoderInput::openFile(QFile::encodeName(path), std::move(stop));
    if (!input)
        return input.error();
    return openInput(std::move(*input));
}

DecodeResult<std::unique_ptr<DecoderStream>> DecoderStream::openMemory(const void* data,
                                                                       std::size_t size) {
    if (!data || size == 0)
        return DecodeError::NotMedia;
    DecodeResult<std::unique_ptr<DecoderInput>> input = DecoderInput::openMemory(data, size);
    if (!input)
        return input.error();
    return openInput(std::move(*input));
}

DecodeResult<std::unique_ptr<DecoderStream>>
DecoderStream::openInput(std::unique_ptr<DecoderInput> input) {
    DecodeResult<FfmpegPtr<AVFormatContext>> format = OpenFormat(*input);
    if (!format)
        return format.error();
    const int index = FirstAudioStream(**format);
    if (index < 0)
        return DecodeError::NotMedia;
    KeepOnlyStream(**format, index);
    const AVStream& stream = *(*format)->streams[index];
    if (!PlausibleShape(*stream.codecpar))
        return DecodeError::UnsupportedFormat;
    DecodeResult<FfmpegPtr<AVCodecContext>> codec = OpenDecoder(stream);
    if (!codec)
        return codec.error();
    FfmpegPtr<AVPacket> packet(av_packet_alloc());
    FfmpegPtr<AVFrame> frame(av_frame_alloc());
    if (!packet || !frame)
        return DecodeError::OutOfMemory;
    std::unique_ptr<DecoderStream> opened(new DecoderStream(std::move(input), std::move(*format),
                                                            index, std::move(*codec),
                                                            std::move(packet), std::move(frame)));
    if (!opened->m_fft.valid())
        return DecodeError::OutOfMemory;
    return opened;
}

std::int64_t DecoderStream::bytesRead() const {
    return m_input ? m_input->bytesRead() : 0;
}

std::optional<double> DecoderStream::bitrateKbps() {
    if (!m_bitrateWorkedOut) {
        m_bitrateKbps = findBitrate();
        m_bitrateWorkedOut = true;
    }
    return m_bitrateKbps;
}

std::optional<double> DecoderStream::findBitrate() const {
    const AVStream* stream = m_format->streams[m_streamIndex];
    if (stream->codecpar->bit_rate > 0)
        return double(stream->codecpar->bit_rate) / 1000.0;
    // Statistics tags written by Matroska muxers: the track's own bitrate.
    if (const AVDictionaryEntry* tag = av_dict_get(stream->metadata, "BPS", nullptr, 0))
        if (const std::optional<std::int64_t> bps = TagBitsPerSecond(tag->value))
            return double(*bps) / 1000.0;
    // Nothing but this audio stream in the file: the file's rate is its rate.
    if (m_format->nb_streams == 1 && m_format->bit_rate > 0)
        return double(m_format->bit_rate) / 1000.0;
    return scanAudioBitrate();
}

// Sums the audio stream's packet sizes over a second demuxer, so that pictures
// and other streams sharing the container never count as sound.
std::optional<double> DecoderStream::scanAudioBitrate() const {
    const std::unique_ptr<DecoderInput> input = m_input->reopen();
    if (!input)
        return std::nullopt;
    input->stopOn(m_input->stopToken());
    DecodeResult<FfmpegPtr<AVFormatContext>> opened = OpenFormat(*input);
    if (!opened)
        return std::nullopt;
    AVFormatContext* format = opened->get();
    const int index = FirstAudioStream(*format);
    const FfmpegPtr<AVPacket> packet(av_packet_alloc());
    if (index < 0 || !packet)
        return std::nullopt;
    KeepOnlyStream(*format, index);
    const AVRational timeBase = format->streams[index]->time_base;
    std::int64_t bytes = 0;
    std::int64_t duration = 0;
    while (av_read_frame(format, packet.get()) >= 0) {
        if (packet->stream_index == index) {
            input->audioDelivered();
            bytes = AddSaturating(bytes, packet->size);
            if (packet->duration > 0)
                duration = AddSaturating(duration, packet->duration);
        }
        av_packet_unref(packet.get());
    }
    // Packets that claim more than 64 bits of time between them are forged:
    // their sum says nothing, the decoded length may.
    const bool durationKnown = duration > 0 && duration < std::numeric_limits<std::int64_t>::max();
    double seconds = durationKnown ? double(duration) * av_q2d(timeBase) : 0.0;
    if (seconds <= 0.0 && m_lengthFrames)
        seconds = double(*m_lengthFrames) / m_sampleRate;
    if (bytes > 0 && seconds > 0.0)
        return double(bytes) * 8.0 / 1000.0 / seconds;
    return std::nullopt;
}

namespace {

// The sample formats decoders hand out, read as libswresample would convert
// them to float, so that the mean of the channels comes out the same to the
// last bit whichever way a file is decoded.
struct U8ToFloat {
    float operator()(std::uint8_t v) const { return float(int(v) - 0x80) * (1.0f / (1 << 7)); }
};
struct S16ToFloat {
    float operator()(std::int16_t v) const { return float(v) * (1.0f / (1 << 15)); }
};
struct S32ToFloat {
    float operator()(std::int32_t v) const { return float(v) * (1.0f / (1U << 31)); }
};
struct FloatToFloat {
    float operator()(float v) const { return v; }
};
struct DoubleToFloat {
    float operator()(double v) const { return float(v); }
};

// Averages `channels` channels of `count` samples into `out` in one sweep per
// channel: channel `c`'s samples lie at planes[c][i * stride]. Channels are
// summed in their order and then scaled, the arithmetic of every path here;
// samples that are no sound become silence on the way.
template <typename Sample, typename Convert>
KORVANE_VECTOR_CLONES void MeanOfChannels(const std::uint8_t* const* planes, int channels,
                                          int stride, int count, float* out) {
    const Convert convert;
    const auto* first = reinterpret_cast<const Sample*>(planes[0]);
    // Stereo, the common case, in one sweep; a stride the compiler knows lets
    // it vectorise the interleaved layout too.
    if (channels == 2) {
        const auto* second = reinterpret_cast<const Sample*>(planes[1]);
        if (stride == 1) {
            for (int i = 0; i < count; ++i)
                out[i] = Sound((convert(first[i]) + convert(second[i])) * 0.5f);
        } else {
            for (int i = 0; i < count; ++i)
                out[i] = Sound((convert(first[2 * i]) + convert(first[2 * i + 1])) * 0.5f);
        }
        return;
    }
    for (int i = 0; i < count; ++i)
        out[i] = convert(first[i * stride]);
    for (int c = 1; c < channels; ++c) {
        const auto* in = reinterpret_cast<const Sample*>(planes[c]);
        for (int i = 0; i < count; ++i)
            out[i] += convert(in[i * stride]);
    }
    // One channel is taken as it is; multiplying by 1 would change nothing.
    const float share = 1.0f / float(channels);
    for (int i = 0; i < count; ++i)
        out[i] = Sound(out[i] * share);
}

// The mean of `frame`'s channels into `out` for the formats read directly;
// false for any other format.
bool MeanOfFrame(const AVFrame& frame, int channels, float* out) {
    const int count = frame.nb_samples;
    const auto format = AVSampleFormat(frame.format);
    const bool planar = av_sample_fmt_is_planar(format) != 0;
    // An interleaved frame is read as channels planes, each one sample apart.
    std::array<const std::uint8_t*, KORVANE_MAX_CHANNELS> planes{};
    const int bytes = av_get_bytes_per_sample(format);
    for (int c = 0; c < channels; ++c)
        planes[std::size_t(c)] =
            planar ? frame.extended_data[c] : frame.extended_data[0] + std::ptrdiff_t(c) * bytes;
    const int stride = planar ? 1 : channels;
    switch (av_get_packed_sample_fmt(format)) {
    case AV_SAMPLE_FMT_FLT:
        MeanOfChannels<float, FloatToFloat>(planes.data(), channels, stride, count, out);
        return true;
    case AV_SAMPLE_FMT_S16:
        MeanOfChannels<std::int16_t, S16ToFloat>(planes.data(), channels, stride, count, out);
        return true;
    case AV_SAMPLE_FMT_S32:
        MeanOfChannels<std::int32_t, S32ToFloat>(planes.data(), channels, stride, count, out);
        return true;
    case AV_SAMPLE_FMT_DBL:
        MeanOfChannels<double, DoubleToFloat>(planes.data(), channels, stride, count, out);
        return true;
    case AV_SAMPLE_FMT_U8:
        MeanOfChannels<std::uint8_t, U8ToFloat>(planes.data(), channels, stride, count, out);
        return true;
    default:
        return false;
    }
}

} // namespace

bool DecoderStream::appendFrame(const AVFrame* frame) {
    const int count = frame->nb_samples;
    const int channels = frame->ch_layout.nb_channels;
    if (count <= 0 || channels <= 0 || channels > KORVANE_MAX_CHANNELS)
        return false;

    const std::size_t start = m_pending.size();
    m_pending.resize(start + std::size_t(count));
    float* out = m_pending.data() + start;
    if (MeanOfFrame(*frame, channels, out))
        return true;

    // Any other sample format (64-bit integers) goes through libswresample to
    // planar float first.
    if (!m_swr || m_swrFormat != frame->format || m_swrChannels != channels) {
        m_swr.reset();
        AVChannelLayout layout{};
        if (av_channel_layout_copy(&layout, &frame->ch_layout) < 0) {
            m_pending.resize(start);
            return false;
        }
        SwrContext* made = nullptr;
        const int rate = frame->sample_rate > 0 ? frame->sample_rate : 44100;
        const int rc = swr_alloc_set_opts2(&made, &layout, AV_SAMPLE_FMT_FLTP, rate, &layout,
                                           AVSampleFormat(frame->format), rate, 0, nullptr);
        av_channel_layout_uninit(&layout);
        m_swr.reset(made);
        if (rc < 0 || swr_init(m_swr.get()) < 0) {
            m_swr.reset();
            m_pending.resize(start);
            return false;
        }
        m_swrFormat = frame->format;
        m_swrChannels = channels;
    }
    m_planes.resize(std::size_t(count) * std::size_t(channels));
    std::array<std::uint8_t*, KORVANE_MAX_CHANNELS> outPlanes{};
    for (int c = 0; c < channels; ++c)
        outPlanes[std::size_t(c)] =
            reinterpret_cast<std::uint8_t*>(m_planes.data() + std::size_t(c) * count);
    const int converted =
        swr_convert(m_swr.get(), outPlanes.data(), count,
                    const_cast<const std::uint8_t**>(frame->extended_data), count);
    if (converted <= 0) {
        m_pending.resize(start);
        return false;
    }
    m_pending.resize(start + std::size_t(converted));
    MeanOfChannels<float, FloatToFloat>(outPlanes.data(), channels, 1, converted, out);
    return true;
}

void DecoderStream::stopOn(std::stop_token stop) {
    m_input->stopOn(std::move(stop));
}

bool DecoderStream::refill() {
    while (!m_decoderDrained) {
        // Stopped: what the decoder still holds is not wanted either.
        if (m_input->stopRequested()) {
            m_decoderDrained = true;
            break;
        }
        if (m_decodedFrames > kMaxFramesPerByte * m_input->bytesRead() + kFrameAllowance) {
            m_decoderDrained = true;
            break;
        }
        const int received = avcodec_receive_frame(m_codec.get(), m_frame.get());
        if (received == 0) {
            m_failedFrames = 0;
            const int samples = m_frame->nb_samples;
            const bool added = appendFrame(m_frame.get());
            av_frame_unref(m_frame.get());
            if (added) {
                m_decodedFrames += samples;
                m_input->audioDelivered();
                return true;
            }
            continue;
        }
        // A damaged frame costs the decoder the packet it came from, and the
        // frames after the damage may decode again: go on, unless the decoder
        // keeps failing without taking anything new.
        const bool damaged = received != AVERROR(EAGAIN) && received != AVERROR_EOF;
        if (damaged && ++m_failedFrames < kMaxFailedFrames)
            continue;
        if (received != AVERROR(EAGAIN)) {
            // End of stream, or a decoder that cannot go on: what we have is all.
            m_decoderDrained = true;
            break;
        }
        if (m_demuxDone) {
            m_decoderDrained = true;
            break;
        }
        // The decoder wants input: feed it the next packet of our stream.
        for (;;) {
            if (av_read_frame(m_format.get(), m_packet.get()) < 0) {
                m_demuxDone = true;
                avcodec_send_packet(m_codec.get(), nullptr);
                break;
            }
            if (m_packet->stream_index != m_streamIndex) {
                av_packet_unref(m_packet.get());
                continue;
            }
            // A damaged packet is skipped; the ones after it may decode.
            const int sent = avcodec_send_packet(m_codec.get(), m_packet.get());
            av_packet_unref(m_packet.get());
            if (sent >= 0)
                m_failedFrames = 0;
            if (sent >= 0 || sent == AVERROR(EAGAIN))
                break;
        }
    }
    return false;
}

int DecoderStream::nextFft2048(float magnitudes[1024]) {
    constexpr std::size_t kFrame = Fft2048::kSize;
    while (m_pending.size() - m_pendingStart < kFrame && refill()) {
    }
    const std::size_t available = m_pending.size() - m_pendingStart;
    if (available == 0)
        return 0;
    const std::size_t used = std::min(available, kFrame);
    // A final partial frame is zero-padded.
    m_fft.transform(m_pending.data() + m_pendingStart, used, magnitudes);
    m_pendingStart += used;
    // Drop what has been handed out once it outweighs what is left.
    if (m_pendingStart > 65536 && m_pendingStart * 2 > m_pending.size()) {
        m_pending.erase(m_pending.begin(), m_pending.begin() + std::ptrdiff_t(m_pendingStart));
        m_pendingStart = 0;
    }
    return int(used);
}
