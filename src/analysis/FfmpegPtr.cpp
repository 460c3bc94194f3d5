#include "analysis/FfmpegPtr.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavformat/avio.h>
#include <libavutil/frame.h>
#include <libavutil/mem.h>
#include <libavutil/tx.h>
#include <libswresample/swresample.h>
}

void FfmpegDeleter::operator()(AVFormatContext* format) const noexcept {
    // Also right for a context never opened: with no input format it only
    // frees, and AVFMT_FLAG_CUSTOM_IO keeps it off our AVIOContext.
    avformat_close_input(&format);
}

void FfmpegDeleter::operator()(AVCodecContext* codec) const noexcept {
    avcodec_free_context(&codec);
}

void FfmpegDeleter::operator()(AVPacket* packet) const noexcept {
    av_packet_free(&packet);
}

void FfmpegDeleter::operator()(AVFrame* frame) const noexcept {
    av_frame_free(&frame);
}

void FfmpegDeleter::operator()(AVIOContext* io) const noexcept {
    av_freep(&io->buffer);
    avio_context_free(&io);
}

void FfmpegDeleter::operator()(SwrContext* resampler) const noexcept {
    swr_free(&resampler);
}

void FfmpegDeleter::operator()(AVTXContext* transform) const noexcept {
    av_tx_uninit(&transform);
}

void FfmpegFree::operator()(void* memory) const noexcept {
    av_free(memory);
}
