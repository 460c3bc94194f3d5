#pragma once

#include "analysis/DecodeResult.h"
#include "analysis/FfmpegPtr.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <stop_token>

// The bytes a stream is demuxed from, a file or a caller's buffer, read
// through our own AVIOContext so FFmpeg never opens anything by name. It also
// keeps the budget that bounds the work one hostile file can cause.
class DecoderInput {
public:
    // Bytes FFmpeg may read while nothing comes of them: while it reads the
    // header, and then while no audio comes out. A real file's header is a
    // few megabytes even with cover art or a long film's index, and its sound
    // is interleaved within seconds (25 s of an 80 Mbit/s video); a damaged
    // or padded file (zeros after a header, a 4 GB sparse file) would
    // otherwise be scanned to its end for nothing.
    static constexpr std::int64_t kMaxBytesWithoutAudio = std::int64_t(256) << 20;

    // Fails with CannotOpen when `path` cannot be opened or is not a regular
    // file: a FIFO or a device named .mp3 would block or never end. Reads stop
    // at the size the file had when opened, so a file that grows meanwhile is
    // read for bounded work. `stop` as for stopOn.
    static DecodeResult<std::unique_ptr<DecoderInput>> openFile(const QByteArray& path,
                                                                std::stop_token stop = {});
    // `data` must outlive the input.
    static DecodeResult<std::unique_ptr<DecoderInput>> openMemory(const void* data,
                                                                  std::size_t size);

    virtual ~DecoderInput();
    DecoderInput(const DecoderInput&) = delete;
    DecoderInput& operator=(const DecoderInput&) = delete;

    // A second, independent reader over the same bytes; null on failure.
    virtual std::unique_ptr<DecoderInput> reopen() const = 0;

    AVIOContext* io() const { return m_io.get(); }

    // For AVFormatContext::interrupt_callback: non-zero once the budget is
    // spent or a stop is requested.
    static int Interrupt(void* self);

    // Once `stop` is requested, every further read fails and the demuxer is
    // interrupted: the work on this input ends at its next read, however
    // much of the file is left.
    void stopOn(std::stop_token stop) { m_stop = std::move(stop); }
    const std::stop_token& stopToken() const { return m_stop; }
    bool stopRequested() const { return m_stop.stop_requested(); }

    // The header is parsed: decoding gets a budget of its own, even if the
    // header scan spent the first one (a demuxer looking for more chunks
    // through gigabytes of zeros, then seeking back to its data).
    void headerRead() {
        m_bytesWithoutAudio = 0;
        m_spent = false;
    }
    // Audio came out of what was read: the budget starts again, unless it is
    // already spent, so a demuxer that scans on after a last buffered packet
    // is not given a second round.
    void audioDelivered() {
        if (!m_spent)
            m_bytesWithoutAudio = 0;
    }
    bool exhausted() const { return m_spent; }
    // Every byte handed to FFmpeg so far, re-reads after seeks included.
    std::int64_t bytesRead() const { return m_bytesRead; }

protected:
    DecoderInput() = default;
    // Allocates the AVIOContext; false when out of memory.
    bool makeIo();

    virtual int readBytes(std::uint8_t* buf, int size) = 0;
    virtual std::int64_t seekBytes(std::int64_t offset, int whence) = 0;

private:
    static int Read(void* self, std::uint8_t* buf, int size);
    static std::int64_t Seek(void* self, std::int64_t offset, int whence);

    FfmpegPtr<AVIOContext> m_io;
    std::stop_token m_stop;
    std::int64_t m_bytesWithoutAudio = 0;
    std::int64_t m_bytesRead = 0;
    bool m_spent = false;
};
