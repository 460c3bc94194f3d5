#pragma once

#include <QImage>
#include <QString>
#include <array>
#include <cstddef>
#include <cstdint>

// 256 entries of blue, green, red bytes (the byte order of a 24-bit pixel row).
using SpectrogramPalette = std::array<std::uint8_t, 256 * 3>;

void BuildSpectrogramPalette(SpectrogramPalette& palette);

// Renders the whole file into `bitmap` (QImage::Format_BGR888, one column per
// 2048-sample frame, 1024 rows, 0 Hz at the bottom). When the file cannot be
// rendered the bitmap is left exactly as it was.
void RenderSpectrogram(const QString& fileName, QImage& bitmap);

// The same from a whole file held in memory (`data` is only read during the call).
void RenderSpectrogramFromMemory(const void* data, std::size_t size, QImage& bitmap);
