#include "analysis/DecoderSetup.h"

#include "analysis/BASS.h"

#include <atomic>
#include <stdexcept>

extern "C" {
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

namespace {

// The one setup; its file sources are fixed when it is made.
std::atomic<const DecoderSetup*> g_setup{nullptr};

} // namespace

DecoderSetup::DecoderSetup(DecoderLog log, ChannelSourceFactory fileSources)
    : m_fileSources(std::move(fileSources)) {
    const DecoderSetup* none = nullptr;
    if (!g_setup.compare_exchange_strong(none, this))
        throw std::logic_error("the decoder is set up once per process");
    av_max_alloc(KORVANE_MAX_ALLOCATION);
    if (log == DecoderLog::Silent)
        av_log_set_level(AV_LOG_QUIET);
    BASS_Init(0, 44100, 0, nullptr, nullptr);
}

DecoderSetup::~DecoderSetup() {
    BASS_Free(); // fails harmlessly when the program already released the layer
    g_setup.store(nullptr);
}

bool DecoderSetup::active() {
    return g_setup.load() != nullptr;
}

std::unique_ptr<ChannelSource> DecoderSetup::fileSource(const QString& path) {
    const DecoderSetup* setup = g_setup.load();
    if (!setup || !setup->m_fileSources)
        return nullptr;
    return setup->m_fileSources(path);
}
