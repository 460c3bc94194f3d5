#include "analysis/DecoderInput.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

namespace {

constexpr int kIoBufferSize = 64 * 1024;

// Positions a seek may reach: from 0 to the end of the input.
std::int64_t SeekTarget(std::int64_t offset, int whence, std::int64_t position, std::int64_t size) {
    std::int64_t base = 0;
    switch (whence & ~AVSEEK_FORCE) {
    case SEEK_SET:
        break;
    case SEEK_CUR:
        base = position;
        break;
    case SEEK_END:
        base = size;
        break;
    default:
        return AVERROR(EINVAL);
    }
    if (offset > size - base || offset < -base)
        return AVERROR(EINVAL);
    return base + offset;
}

class FileInput final : public DecoderInput {
public:
    static DecodeResult<std::unique_ptr<DecoderInput>> open(QByteArray path) {
        std::unique_ptr<FileInput> input(new FileInput(std::move(path)));
        // O_NONBLOCK so that opening a FIFO returns at once; the type is then
        // checked on the descriptor itself, not on a name that may change.
        input->m_fd =
            ::open(input->m_path.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (input->m_fd < 0)
            return DecodeError::CannotOpen;
        struct stat st {};
        if (::fstat(input->m_fd, &st) != 0 || !S_ISREG(st.st_mode))
            return DecodeError::CannotOpen;
        const int flags = ::fcntl(input->m_fd, F_GETFL);
        if (flags < 0 || ::fcntl(input->m_fd, F_SETFL, flags & ~O_NONBLOCK) < 0)
            return DecodeError::CannotOpen;
        input->m_size = std::int64_t(st.st_size);
        if (!input->makeIo())
            return DecodeError::OutOfMemory;
        return input;
    }

    ~FileInput() override {
        if (m_fd >= 0)
            ::close(m_fd);
    }

    std::unique_ptr<DecoderInput> reopen() const override {
        DecodeResult<std::unique_ptr<DecoderInput>> copy = open(m_path);
        return copy ? std::move(*copy) : nullptr;
    }

protected:
    int readBytes(std::uint8_t* buf, int size) override {
        const std::int64_t left = m_size - m_position;
        if (left <= 0)
            return AVERROR_EOF;
        const auto want = std::size_t(std::min<std::int64_t>(left, size));
        ssize_t n = 0;
        do {
            n = ::pread(m_fd, buf, want, off_t(m_position));
        } while (n < 0 && errno == EINTR);
        if (n < 0)
            return AVERROR(EIO);
        if (n == 0)
            return AVERROR_EOF; // the file shrank under us
        m_position += n;
        return int(n);
    }

    std::int64_t seekBytes(std::int64_t offset, int whence) override {
        if (whence & AVSEEK_SIZE)
            return m_size;
        const std::int64_t target = SeekTarget(offset, whence, m_position, m_size);
        if (target >= 0)
            m_position = target;
        return target;
    }

private:
    explicit FileInput(QByteArray path) : m_path(std::move(path)) {}

    QByteArray m_path;
    int m_fd = -1;
    std::int64_t m_size = 0; // as it was when opened
    std::int64_t m_position = 0;
};

class MemoryInput final : public DecoderInput {
public:
    static DecodeResult<std::unique_ptr<DecoderInput>> open(const std::uint8_t* data,
                                                            std::size_t size) {
        std::unique_ptr<MemoryInput> input(new MemoryInput(data, size));
        if (!input->makeIo())
            return DecodeError::OutOfMemory;
        return input;
    }

    std::unique_ptr<DecoderInput> reopen() const override {
        DecodeResult<std::unique_ptr<DecoderInput>> copy = open(m_data, m_size);
        return copy ? std::move(*copy) : nullptr;
    }

protected:
    int readBytes(std::uint8_t* buf, int want) override {
        const std::size_t left = m_size - m_position;
        if (left == 0)
            return AVERROR_EOF;
        const std::size_t n = std::min(left, std::size_t(want));
        std::memcpy(buf, m_data + m_position, n);
        m_position += n;
        return int(n);
    }

    std::int64_t seekBytes(std::int64_t offset, int whence) override {
        if (whence & AVSEEK_SIZE)
            return std::int64_t(m_size);
        const std::int64_t target =
            SeekTarget(offset, whence, std::int64_t(m_position), std::int64_t(m_size));
        if (target >= 0)
            m_position = std::size_t(target);
        return target;
    }

private:
    MemoryInput(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_position = 0;
};

} // namespace

DecodeResult<std::unique_ptr<DecoderInput>> DecoderInput::openFile(const QByteArray& path,
                                                                   std::stop_token stop) {
    DecodeResult<std::unique_ptr<DecoderInput>> input = FileInput::open(path);
    if (input)
        (*input)->stopOn(std::move(stop));
    return input;
}

DecodeResult<std::unique_ptr<DecoderInput>> DecoderInput::openMemory(const void* data,
                                                                     std::size_t size) {
    return MemoryInput::open(static_cast<const std::uint8_t*>(data), size);
}

DecoderInput::~DecoderInput() = default;

bool DecoderInput::makeIo() {
    FfmpegMemory<unsigned char> buffer(static_cast<unsigned char*>(av_malloc(kIoBufferSize)));
    if (!buffer)
        return false;
    m_io.reset(avio_alloc_context(buffer.get(), kIoBufferSize, 0, this, &DecoderInput::Read,
                                  nullptr, &DecoderInput::Seek));
    if (!m_io)
        return false;
    buffer.release(); // the context owns it now, and frees it with itself
    return true;
}

int DecoderInput::Interrupt(void* self) {
    const auto* input = static_cast<const DecoderInput*>(self);
    return input->exhausted() || input->stopRequested() ? 1 : 0;
}

int DecoderInput::Read(void* self, std::uint8_t* buf, int size) {
    auto* input = static_cast<DecoderInput*>(self);
    if (input->stopRequested())
        return AVERROR_EXIT;
    // A spent budget reads as the end of the file: every demuxer stops there.
    if (input->exhausted())
        return AVERROR_EOF;
    const int n = input->readBytes(buf, size);
    if (n > 0) {
        input->m_bytesRead += n;
        input->m_bytesWithoutAudio += n;
        if (input->m_bytesWithoutAudio > kMaxBytesWithoutAudio)
            input->m_spent = true;
    }
    return n;
}

std::int64_t DecoderInput::Seek(void* self, std::int64_t offset, int whence) {
    return static_cast<DecoderInput*>(self)->seekBytes(offset, whence);
}
