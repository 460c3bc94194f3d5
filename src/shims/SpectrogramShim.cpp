#include "analysis/BASS.h"
#include "analysis/Spectrogram.h"

#include <cmath>
#include <vector>

void BuildSpectrogramPalette(SpectrogramPalette& palette) {
    for (int i = 0; i < 256; ++i)
        palette[std::size_t(3 * i)] = palette[std::size_t(3 * i + 1)] = palette[std::size_t(3 * i + 2)] = std::uint8_t(i);
}

// A plain grey rendering, enough to see the panel work.
void RenderSpectrogram(const QString& fileName, QImage& bitmap) {
    BASS_Init(0, 44100, 0, nullptr, nullptr);
    const HSTREAM stream = BASS_StreamCreateFile(FALSE, fileName.utf16(), 0, 0, BASS_STREAM_DECODE | BASS_UNICODE);
    if (!stream)
        return;
    std::vector<std::vector<std::uint8_t>> columns;
    float fft[1024];
    while (columns.size() < 20000 && BASS_ChannelGetData(stream, fft, BASS_DATA_FFT2048) != BASS_DATA_ERROR) {
        std::vector<std::uint8_t> column(1024);
        for (int b = 0; b < 1024; ++b) {
            const double db = 20 * std::log10(fft[b] + 1e-9);
            column[std::size_t(b)] = std::uint8_t(std::clamp((db + 120) * 255 / 120, 0.0, 255.0));
        }
        columns.push_back(std::move(column));
    }
    BASS_StreamFree(stream);
    if (columns.empty())
        return;
    QImage image(int(columns.size()), 1024, QImage::Format_BGR888);
    for (int y = 0; y < 1024; ++y) {
        uchar* row = image.scanLine(y);
        for (int x = 0; x < image.width(); ++x)
            row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = columns[std::size_t(x)][std::size_t(1023 - y)];
    }
    bitmap = image;
}
