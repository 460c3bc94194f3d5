// Arbitrary bytes as a media file, from memory, through the decoding layer and
// the whole quality analysis.
#include "FuzzSupport.h"
#include "analysis/AudioAnalyzer.h"
#include "analysis/BASS.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    InitFuzzing();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const HSTREAM stream = BASS_StreamCreateFile(TRUE, data, 0, size, BASS_STREAM_DECODE);
    if (stream == 0) {
        NoteFeature(0x10000u + std::uint32_t(BASS_ErrorGetCode()));
        return 0;
    }
    const TAudioQualityResult result =
        AnalyzeAudioStream(stream, [size] { return std::int64_t(size); });
    BASS_StreamFree(stream);
    NoteFeature(0x20000u + result.Verdict);
    return 0;
}
