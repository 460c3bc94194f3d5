#include "analysis/Spectrogram.h"

#include "analysis/BASS.h"
#include "analysis/FileStream.h"
#include "analysis/SpectrogramColumns.h"
#include "analysis/StreamGuard.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <new>
#include <utility>

namespace {

struct ColourStop {
    int index;
    int red, green, blue;
};

// Black through violet, magenta, orange and yellow to white.
constexpr ColourStop kStops[6] = {
    {0, 0, 0, 0},       {60, 30, 0, 110},    {120, 170, 20, 120},
    {180, 240, 90, 20}, {230, 255, 220, 60}, {255, 255, 255, 255},
};

// About 20 minutes of 44.1 kHz audio.
constexpr qsizetype kLargePagePictureBytes = qsizetype(64) << 20;

// 212 steps of 2.125 per dB: the picture shows about 100 dB under the loudest cell.
constexpr int kDisplaySteps = 212;

} // namespace

void BuildSpectrogramPalette(SpectrogramPalette& palette) {
    for (int i = 0; i < 256; ++i) {
        int k = 0;
        while (k < 4 && i > kStops[k + 1].index)
            ++k;
        const ColourStop& from = kStops[k];
        const ColourStop& to = kStops[k + 1];
        const double t = double(i - from.index) / double(to.index - from.index);
        const auto blend = [t](int a, int b) { return std::uint8_t(std::lround(a + (b - a) * t)); };
        palette[std::size_t(i) * 3 + 0] = blend(from.blue, to.blue);
        palette[std::size_t(i) * 3 + 1] = blend(from.green, to.green);
        palette[std::size_t(i) * 3 + 2] = blend(from.red, to.red);
    }
}

namespace {

SpectrogramRender Failed(SpectrogramError error, int decoderCode = 0) {
    SpectrogramRender render;
    render.error = error;
    render.decoderCode = decoderCode;
    return render;
}

// The picture of the levels read, one column per stored row; null when
// `stop` was requested on the way.
// Throws std::bad_alloc when the picture cannot be had.
QImage PaintLevels(SpectrogramLevels& levels, int loudest, const std::stop_token& stop) {
    const std::int64_t width = levels.frames(); // a stored row per column
    // QImage addresses its columns with int.
    if (width > std::numeric_limits<int>::max() / 3)
        throw std::bad_alloc();

    const int floor = std::max(loudest - kDisplaySteps, 0);
    const int range = std::max(loudest - floor, 1);
    SpectrogramPalette palette;
    BuildSpectrogramPalette(palette);
    // The pixel of every cell value up to the loudest, so the loop below is a
    // copy per cell.
    std::array<std::array<std::uint8_t, 3>, 256> pixelOf{};
    for (int v = 0; v <= loudest; ++v) {
        const std::size_t entry = std::size_t(SpectrogramPaletteIndex(v, floor, range)) * 3;
        pixelOf[std::size_t(v)] = {palette[entry], palette[entry + 1], palette[entry + 2]};
    }

    QImage picture(int(width), kSpectrogramBins, QImage::Format_BGR888);
    if (picture.isNull())
        throw std::bad_alloc();
    // Every tile below touches every row, so large pages would make the whole
    // picture resident at the first tile, beside the whole matrix. Worth it
    // for short files, where first touches of small pages cost more than the
    // painting; long files keep the memory instead.
    if (picture.sizeInBytes() <= kLargePagePictureBytes)
        AdviseLargePages(picture.bits(), std::size_t(picture.sizeInBytes()));
    std::array<std::uint8_t*, kSpectrogramBins> rows{};
    for (int r = 0; r < kSpectrogramBins; ++r)
        rows[std::size_t(r)] = picture.scanLine(r);

    // Painted in tiles of 64 columns, so each row takes 192 bytes at a time
    // rather than 3. Level blocks go back as soon as their columns are
    // painted, and small pages of the picture are touched only as painting
    // reaches them, so a long file's matrix and picture are never both whole
    // in memory.
    constexpr std::int64_t kTile = 64;
    static_assert(SpectrogramLevels::kFramesPerBlock % kTile == 0);
    for (std::int64_t first = 0; first < width; first += kTile) {
        if (stop.stop_requested())
            return QImage();
        const int count = int(std::min(kTile, width - first));
        std::array<const std::uint8_t*, kTile> cells{};
        for (int i = 0; i < count; ++i)
            cells[std::size_t(i)] = levels.frame(first + i);
        const std::size_t x = std::size_t(first) * 3;
        for (int b = 0; b < kSpectrogramBins; ++b) {
            std::uint8_t* out = rows[std::size_t(kSpectrogramBins - 1 - b)] + x;
            for (int i = 0; i < count; ++i, out += 3) {
                const auto& pixel = pixelOf[cells[std::size_t(i)][b]];
                out[0] = pixel[0];
                out[1] = pixel[1];
                out[2] = pixel[2];
            }
        }
        levels.releaseBlocksBefore(first + count);
    }
    return picture;
}

// What the rendering asks beside the picture, and how to learn the file's size.
struct RenderRequest {
    const std::stop_token& stop;
    const SpectrogramOptions& options;
    std::function<std::int64_t()> fileSize;
};

// Everything after opening, shared by the file and the in-memory entries; the
// guard holds the open stream.
SpectrogramRender RenderOpenStream(StreamGuard& guard, const RenderRequest& request) {
    const HSTREAM stream = guard.get();
    const std::stop_token& stop = request.stop;
    SpectrogramRender render;
    const auto fail = [&render](SpectrogramError error) {
        render.error = error;
        render.picture = QImage();
        render.analysis.reset();
        render.source.reset();
        return render;
    };
    BASS_CHANNELINFO info{};
    if (BASS_ChannelGetInfo(stream, &info))
        render.sampleRate = info.freq;
    // Before any frame, as the analysis on its own takes them.
    std::optional<AudioQualityPass> analysis;
    if (request.options.withAnalysis)
        analysis.emplace(stream, request.fileSize);
    const std::int64_t planned = PlannedSpectrogramFrames(stream);
    if (planned < 1)
        return fail(SpectrogramError::TooShort);

    SpectrogramColumns columns(
        planned, std::clamp<std::int64_t>(request.options.maxColumns, 1, kSpectrogramMaxColumns));
    // The second opinion takes the audible frames, as AnalyzeQualityAndSource does.
    std::unique_ptr<SourceFeatures> features;
    if (analysis)
        features = std::make_unique<SourceFeatures>();
    const auto addFrame = [&analysis, &features](const float* magnitudes) {
        FramePower power;
        PowerOfFrame(magnitudes, power);
        if (analysis->addPower(power))
            features->addPower(power);
    };
    std::function<void(const float*)> alsoAnalyse;
    if (analysis && analysis->wantsFrames())
        alsoAnalyse = addFrame;
    const int loudest = ReadSpectrogramColumns(stream, planned, columns, stop, alsoAnalyse);
    render.frames = columns.frames();
    if (stop.stop_requested())
        return fail(SpectrogramError::Cancelled);
    if (render.frames == 0)
        return fail(SpectrogramError::NoSound);
    if (analysis) {
        // The picture ends at the planned length; the analysis takes every frame.
        float magnitudes[kSpectrogramBins];
        while (analysis->wantsFrames() && !stop.stop_requested() &&
               BASS_ChannelGetData(stream, magnitudes, BASS_DATA_FFT2048) != BASS_DATA_ERROR)
            addFrame(magnitudes);
        if (stop.stop_requested())
            return fail(SpectrogramError::Cancelled);
        render.analysis = analysis->result();
        render.source = AssessSource(*render.analysis, analysis->powerSum(), *features,
                                     StreamCodec(info.ctype));
    }
    guard.reset(); // the decoder's buffers are not needed for painting

    render.picture = PaintLevels(columns.levels(), loudest, stop);
    if (render.picture.isNull())
        return fail(SpectrogramError::Cancelled);
    return render;
}

// Opens with `open` (a stream, or why there is none) and renders; `path`
// names the file for the reason of a failed open. Opening the decoding layer
// is the DecoderSetup's that main() makes, never the renderer's: while it is
// closed, `open` says so and the render fails as DecoderUnavailable.
template <typename Open>
SpectrogramRender OpenAndRender(const Open& open, const QString& path,
                                const RenderRequest& request) {
    if (request.stop.stop_requested())
        return Failed(SpectrogramError::Cancelled);
    try {
        const DecodeResult<HSTREAM> stream = open();
        if (!stream && request.stop.stop_requested())
            return Failed(SpectrogramError::Cancelled);
        if (!stream)
            return Failed(SpectrogramOpenError(stream.error(), path));
        StreamGuard guard(*stream);
        return RenderOpenStream(guard, request);
    } catch (const std::bad_alloc&) {
        return Failed(SpectrogramError::OutOfMemory);
    }
}

// What RenderSpectrogram promises its callers: a picture replaces the
// bitmap, running out of memory is thrown, anything else leaves it alone.
void Deliver(SpectrogramRender render, QImage& bitmap) {
    if (render.ok())
        bitmap = std::move(render.picture);
    else if (render.error == SpectrogramError::OutOfMemory)
        throw std::bad_alloc();
}

} // namespace

SpectrogramRender RenderSpectrogramFile(const QString& fileName, std::stop_token stop,
                                        const SpectrogramOptions& options) {
    // The stop reaches the decoder's reads too: a slow file stops at its next read.
    return OpenAndRender(
        [&fileName, &stop] { return OpenFileStream(fileName, stop); }, fileName,
        RenderRequest{stop, options, [&fileName] { return FileSizeOrUnknown(fileName); }});
}

SpectrogramRender RenderSpectrogramMemory(const void* data, std::size_t size, std::stop_token stop,
                                          const SpectrogramOptions& options) {
    return OpenAndRender([data, size] { return OpenMemoryStream(data, size); }, QString(),
                         RenderRequest{stop, options, [size] { return std::int64_t(size); }});
}

void RenderSpectrogram(const QString& fileName, QImage& bitmap) {
    Deliver(RenderSpectrogramFile(fileName), bitmap);
}

void RenderSpectrogramFromMemory(const void* data, std::size_t size, QImage& bitmap) {
    Deliver(RenderSpectrogramMemory(data, size), bitmap);
}
