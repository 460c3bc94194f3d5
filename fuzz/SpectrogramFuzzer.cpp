// Arbitrary bytes as a media file, from memory, through the decoding layer and
// the spectrogram renderer.
#include "FuzzSupport.h"
#include "analysis/Spectrogram.h"

#include <QImage>
#include <bit>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    InitFuzzing();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QImage picture;
    RenderSpectrogramFromMemory(data, size, picture);
    // Pictures of different widths took different ways through the renderer.
    if (!picture.isNull())
        NoteFeature(0x30000u + std::uint32_t(std::bit_width(unsigned(picture.width()))));
    return 0;
}
