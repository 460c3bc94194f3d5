#pragma once

#include <memory>

struct AVFormatContext;
struct AVCodecContext;
struct AVPacket;
struct AVFrame;
struct AVIOContext;
struct SwrContext;
struct AVTXContext;

// Frees each FFmpeg object with the function FFmpeg made for it, so that a
// std::unique_ptr can own it: FfmpegPtr<AVFrame> and so on.
struct FfmpegDeleter {
    // A demuxer, opened or not; a custom AVIOContext in it is left alone.
    void operator()(AVFormatContext* format) const noexcept;
    void operator()(AVCodecContext* codec) const noexcept;
    void operator()(AVPacket* packet) const noexcept;
    void operator()(AVFrame* frame) const noexcept;
    // The context and its buffer, which FFmpeg may have replaced meanwhile.
    void operator()(AVIOContext* io) const noexcept;
    void operator()(SwrContext* resampler) const noexcept;
    void operator()(AVTXContext* transform) const noexcept;
};

template <typename T> using FfmpegPtr = std::unique_ptr<T, FfmpegDeleter>;

// Memory from av_malloc (CPU-aligned, as SIMD code wants it).
struct FfmpegFree {
    void operator()(void* memory) const noexcept;
};

template <typename T> using FfmpegMemory = std::unique_ptr<T, FfmpegFree>;
