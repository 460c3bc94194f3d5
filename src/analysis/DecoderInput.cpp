#include "analysis/DecoderInput.h"

#include "analysis/BASS.h"

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
    explicit FileInput(QByteArray path) : m_path(std::move(path)) {}
    ~FileInput() override {
        if (m_fd >= 0)
            ::close(m_fd);
    }

    int open() {
        // O_NONBLOCK so that opening a FIFO returns at once; the type is then
        // checked on the descriptor itself, not on a name that may change.
        m_fd = ::open(m_path.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (m_fd < 0)
            return BASS_ERROR_FILEOPEN;
        struct stat st {};
        if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode))
            return BASS_ERROR_FILEOPEN;
        const int flags = ::fcntl(m_fd, F_GETFL);
        if (flags < 0 || ::fcntl(m_fd, F_SETFL, flags & ~O_NONBLOCK) < 0)
            return BASS_ERROR_FILEOPEN;
        m_size = std::int64_t(st.st_size);
        return makeIo() ? BASS_OK : BASS_ERROR_MEM;
    }

    std::unique_ptr<DecoderInput> reopen() const override {
        auto copy = std::make_unique<FileInput>(m_path);
        if (copy->open() != BASS_OK)
            return nullptr;
        return copy;
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
    QByteArray m_path;
    int m_fd = -1;
    std::int64_t m_size = 0; // as it was when opened
    std::int64_t m_position = 0;
};

class MemoryInput final : public DecoderInput {
public:
    MemoryInput(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    bool open() { return makeIo(); }

    std::unique_ptr<DecoderInput> reopen() const override {
        auto copy = std::make_unique<MemoryInput>(m_data, m_size);
        if (!copy->open())
            return nullptr;
        return copy;
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
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_position = 0;
};

} // namespace

std::unique_ptr<DecoderInput> DecoderInput::openFile(const QByteArray& path, int& error,
                                                     std::stop_token stop) {
    auto input = std::make_unique<FileInput>(path);
    error = input->open();
    if (error != BASS_OK)
        return nullptr;
    input->stopOn(std::move(stop));
    return input;
}

std::unique_ptr<DecoderInput> DecoderInput::openMemory(const void* data, std::size_t size) {
    auto input = std::make_unique<MemoryInput>(static_cast<const std::uint8_t*>(data), size);
    if (!input->open())
        return nullptr;
    return input;
}

DecoderInput::~DecoderInput() {
    if (m_io) {
        av_freep(&m_io->buffer);
        avio_context_free(&m_io);
    }
}

bool DecoderInput::makeIo() {
    auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferSize));
    if (!buffer)
        return false;
    m_io = avio_alloc_context(buffer, kIoBufferSize, 0, this, &DecoderInput::Read, nullptr,
                              &DecoderInput::Seek);
    if (!m_io) {
        av_free(buffer);
        return false;
    }
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
