// Shared set-up of the fuzz targets.
#pragma once

#include <cstdint>

// Initialises the decoding layer once and routes FFmpeg's log into coverage
// feedback: FFmpeg is not instrumented, so each distinct log call site (and
// the demuxer or decoder that made it) counts as a feature of its own, which
// steers the fuzzer into the containers' and codecs' deeper paths.
void InitFuzzing();

// Marks one observation (a hash) as covered for the current input.
void NoteFeature(std::uint32_t feature);
