#include "analysis/DecoderSetup.h"

#include "analysis/BASS.h"

#include <atomic>
#include <stdexcept>

extern "C" {
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

namespace {

std::atomic<bool> g_active{false};

} // namespace

DecoderSetup::DecoderSetup(DecoderLog log) {
    if (g_active.exchange(true))
        throw std::logic_error("the decoder is set up once per process");
    av_max_alloc(KORVANE_MAX_ALLOCATION);
    if (log == DecoderLog::Silent)
        av_log_set_level(AV_LOG_QUIET);
    BASS_Init(0, 44100, 0, nullptr, nullptr);
}

DecoderSetup::~DecoderSetup() {
    BASS_Free(); // fails harmlessly when the program already released the layer
    g_active.store(false);
}

bool DecoderSetup::active() {
    return g_active.load();
}
