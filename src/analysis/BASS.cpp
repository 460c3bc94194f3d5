#include "analysis/BASS.h"

#include "analysis/ChannelSource.h"
#include "analysis/DecodeError.h"
#include "analysis/DecoderSetup.h"
#include "analysis/DecoderStream.h"
#include "analysis/FileStream.h"

#include <algorithm>
#include <atomic>
#include <limits>
#include <mutex>
#include <new>
#include <unordered_map>

namespace {

thread_local int t_lastError = BASS_OK;
std::atomic<bool> g_initialised{false};

// Handles map to sources; the table is shared between threads, each source is
// used by one thread at a time.
struct StreamTable {
    std::mutex mutex;
    std::unordered_map<HSTREAM, std::shared_ptr<ChannelSource>> streams;
    HSTREAM nextHandle = 0x10000;
};

StreamTable& Table() {
    static StreamTable table;
    return table;
}

// What the length and duration queries give when they fail.
constexpr QWORD kNoLength = QWORD(-1);
constexpr double kNoSeconds = -1.0;

// Records `code` as this thread's last error and gives back `result`, the
// failure value of the calling operation.
template <typename Result> Result Fail(int code, Result result) {
    t_lastError = code;
    return result;
}

BOOL Fail(int code) {
    return Fail(code, BOOL(FALSE));
}

// The stable numbers callers and users see (README, "Decoder error codes").
int ErrorCode(DecodeError error) {
    switch (error) {
    case DecodeError::OutOfMemory:
        return BASS_ERROR_MEM;
    case DecodeError::CannotOpen:
        return BASS_ERROR_FILEOPEN;
    case DecodeError::UnsupportedFormat:
        return BASS_ERROR_FORMAT;
    case DecodeError::NotMedia:
        return BASS_ERROR_FILEFORM;
    case DecodeError::NoDecoder:
        return BASS_ERROR_CODEC;
    case DecodeError::LayerClosed:
        return BASS_ERROR_INIT;
    }
    return BASS_ERROR_UNKNOWN;
}

BOOL Succeed() {
    t_lastError = BASS_OK;
    return TRUE;
}

std::shared_ptr<ChannelSource> Find(DWORD handle) {
    StreamTable& table = Table();
    std::lock_guard lock(table.mutex);
    auto it = table.streams.find(handle);
    return it == table.streams.end() ? nullptr : it->second;
}

QString PathFromArgument(const void* file, DWORD flags) {
    if (flags & BASS_UNICODE)
        return QString::fromUtf16(static_cast<const char16_t*>(file));
    return QString::fromUtf8(static_cast<const char*>(file));
}

// The decoder setup's source for `path` when it gives one, else the
// decoder's; either way tied to `stop`.
DecodeResult<std::unique_ptr<ChannelSource>> OpenFileSource(const QString& path,
                                                            std::stop_token stop) {
    if (std::unique_ptr<ChannelSource> given = DecoderSetup::fileSource(path)) {
        given->stopOn(std::move(stop));
        return given;
    }
    return DecoderStream::openFile(path, std::move(stop));
}

HSTREAM Register(std::unique_ptr<ChannelSource> source) {
    StreamTable& table = Table();
    std::lock_guard lock(table.mutex);
    HSTREAM handle = table.nextHandle++;
    if (handle == 0)
        handle = table.nextHandle++;
    table.streams.emplace(handle, std::move(source));
    return handle;
}

// A stream under a new handle on the source `open` gives, or why there is none.
template <typename Open> DecodeResult<HSTREAM> OpenStream(const Open& open) {
    if (!g_initialised.load())
        return DecodeError::LayerClosed;
    try {
        DecodeResult<std::unique_ptr<ChannelSource>> source = open();
        if (!source)
            return source.error();
        return Register(std::move(*source));
    } catch (const std::bad_alloc&) {
        return DecodeError::OutOfMemory;
    }
}

// An opened stream as the BASS_* calls report it: its handle, or 0 with the
// failure's error number recorded.
HSTREAM Reported(const DecodeResult<HSTREAM>& stream) {
    if (!stream)
        return Fail(ErrorCode(stream.error()), HSTREAM(0));
    t_lastError = BASS_OK;
    return *stream;
}

} // namespace

// The process-wide part (allocation cap, log level) is DecoderSetup's; this
// opens the layer for streams, and again after BASS_Free.
BOOL BASS_Init(int device, DWORD, DWORD, void*, const void*) {
    if (device != 0)
        return Fail(BASS_ERROR_DEVICE);
    if (!DecoderSetup::active())
        return Fail(BASS_ERROR_INIT);
    Table(); // made now, so that it outlives a DecoderSetup held in a static
    if (g_initialised.exchange(true))
        return Fail(BASS_ERROR_ALREADY);
    return Succeed();
}

BOOL BASS_Free() {
    if (!g_initialised.exchange(false))
        return Fail(BASS_ERROR_INIT);
    StreamTable& table = Table();
    std::lock_guard lock(table.mutex);
    table.streams.clear();
    return Succeed();
}

HSTREAM BASS_StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length, DWORD flags) {
    if (!g_initialised.load())
        return Fail(BASS_ERROR_INIT);
    if (!file || (mem && offset > length))
        return Fail(BASS_ERROR_ILLPARAM);
    if (mem)
        return Reported(OpenMemoryStream(static_cast<const char*>(file) + offset,
                                         std::size_t(length - offset)));
    return Reported(
        OpenStream([file, flags] { return OpenFileSource(PathFromArgument(file, flags), {}); }));
}

DecodeResult<HSTREAM> OpenFileStream(const QString& path, std::stop_token stop) {
    return OpenStream([&path, &stop] { return OpenFileSource(path, std::move(stop)); });
}

DecodeResult<HSTREAM> OpenMemoryStream(const void* data, std::size_t size) {
    return OpenStream([data, size]() -> DecodeResult<std::unique_ptr<ChannelSource>> {
        return DecoderStream::openMemory(data, size);
    });
}

HSTREAM CreateFileStream(const QString& path, std::stop_token stop) {
    return Reported(OpenFileStream(path, std::move(stop)));
}

int BASS_ErrorGetCode() {
    return t_lastError;
}

BOOL BASS_ChannelGetInfo(DWORD handle, BASS_CHANNELINFO* info) {
    auto source = Find(handle);
    if (!source)
        return Fail(BASS_ERROR_HANDLE);
    if (!info)
        return Fail(BASS_ERROR_ILLPARAM);
    *info = BASS_CHANNELINFO{};
    info->freq = source->sampleRate();
    info->chans = DWORD(source->channels());
    info->flags = BASS_STREAM_DECODE;
    info->ctype = DWORD(source->codec());
    return Succeed();
}

BOOL BASS_ChannelGetAttribute(DWORD handle, DWORD attrib, float* value) {
    auto source = Find(handle);
    if (!source)
        return Fail(BASS_ERROR_HANDLE);
    if (attrib != BASS_ATTRIB_BITRATE || !value)
        return Fail(BASS_ERROR_ILLPARAM);
    const std::optional<double> kbps = source->bitrateKbps();
    if (!kbps)
        return Fail(BASS_ERROR_NOTAVAIL);
    *value = float(*kbps);
    return Succeed();
}

// Bytes as a 16-bit decoding channel counts them: frames x channels x 2.
QWORD BASS_ChannelGetLength(DWORD handle, DWORD mode) {
    auto source = Find(handle);
    if (!source)
        return Fail(BASS_ERROR_HANDLE, kNoLength);
    if (mode != BASS_POS_BYTE)
        return Fail(BASS_ERROR_ILLPARAM, kNoLength);
    const auto frames = source->lengthFrames();
    if (!frames || *frames <= 0)
        return Fail(BASS_ERROR_NOTAVAIL, kNoLength);
    t_lastError = BASS_OK;
    // A header may claim any length; the byte count saturates rather than wraps.
    const QWORD bytesPerFrame = QWORD(std::max(source->channels(), 1)) * 2u;
    const QWORD limit = QWORD(std::numeric_limits<std::int64_t>::max()) / bytesPerFrame;
    return std::min(QWORD(*frames), limit) * bytesPerFrame;
}

double BASS_ChannelBytes2Seconds(DWORD handle, QWORD pos) {
    auto source = Find(handle);
    if (!source)
        return Fail(BASS_ERROR_HANDLE, kNoSeconds);
    const double bytesPerSecond = double(source->sampleRate()) * source->channels() * 2.0;
    if (pos == QWORD(-1) || bytesPerSecond <= 0.0)
        return Fail(BASS_ERROR_ILLPARAM, kNoSeconds);
    t_lastError = BASS_OK;
    return double(pos) / bytesPerSecond;
}

DWORD BASS_ChannelGetData(DWORD handle, void* buffer, DWORD length) {
    auto source = Find(handle);
    if (!source)
        return Fail(BASS_ERROR_HANDLE, BASS_DATA_ERROR);
    if (length != BASS_DATA_FFT2048 || !buffer)
        return Fail(BASS_ERROR_ILLPARAM, BASS_DATA_ERROR);
    int used = 0;
    try {
        used = source->nextFft2048(static_cast<float*>(buffer));
    } catch (const std::bad_alloc&) {
        return Fail(BASS_ERROR_MEM, BASS_DATA_ERROR);
    }
    if (used <= 0)
        return Fail(BASS_ERROR_ENDED, BASS_DATA_ERROR);
    t_lastError = BASS_OK;
    // The bytes of 16-bit sample data the frame consumed.
    return DWORD(used) * DWORD(source->channels() > 0 ? source->channels() : 1) * 2u;
}

BOOL BASS_StreamFree(HSTREAM handle) {
    std::shared_ptr<ChannelSource> doomed;
    {
        StreamTable& table = Table();
        std::lock_guard lock(table.mutex);
        auto it = table.streams.find(handle);
        if (it == table.streams.end())
            return Fail(BASS_ERROR_HANDLE);
        doomed = std::move(it->second);
        table.streams.erase(it);
    }
    // Decoder contexts are freed here, outside the table's lock.
    doomed.reset();
    return Succeed();
}
