#include "FuzzSupport.h"

#include "analysis/DecoderSetup.h"

#include <cstdarg>
#include <cstring>

extern "C" {
#include <libavutil/log.h>
}

namespace {

// libFuzzer reads this section as extra coverage counters, cleared before every input.
constexpr std::uint32_t kCounters = 1u << 16;
__attribute__((used, section("__libfuzzer_extra_counters"))) std::uint8_t g_counters[kCounters];

std::uint32_t Mix(std::uint32_t h, std::uint64_t v) {
    h ^= std::uint32_t(v) + 0x9e3779b9u + (h << 6) + (h >> 2);
    h ^= std::uint32_t(v >> 32) + 0x9e3779b9u + (h << 6) + (h >> 2);
    return h;
}

std::uint32_t HashText(const char* text) {
    std::uint32_t h = 2166136261u;
    for (; text && *text; ++text)
        h = (h ^ std::uint8_t(*text)) * 16777619u;
    return h;
}

void LogToFeature(void* context, int level, const char* format, va_list) {
    // The format string's address names the call site; the context's class
    // and item name tell which demuxer or decoder made it.
    std::uint32_t h = Mix(0, reinterpret_cast<std::uintptr_t>(format));
    h = Mix(h, std::uint64_t(level));
    if (context) {
        const AVClass* cls = *static_cast<const AVClass* const*>(context);
        if (cls) {
            h = Mix(h, HashText(cls->class_name));
            if (cls->item_name)
                h = Mix(h, HashText(cls->item_name(context)));
        }
    }
    NoteFeature(h);
}

} // namespace

void NoteFeature(std::uint32_t feature) {
    std::uint8_t& counter = g_counters[feature % kCounters];
    if (counter != 0xff)
        ++counter;
}

void InitFuzzing() {
    // libFuzzer owns main(); the setup lives as long as the process. The log
    // callback sees every message whatever the level.
    static const DecoderSetup decoder(DecoderLog::FFmpegDefault);
    av_log_set_callback(LogToFeature);
}
