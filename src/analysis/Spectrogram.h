#pragma once

#include "analysis/AudioAnalyzer.h"
#include "analysis/SourceAssessment.h"
#include "analysis/SpectrogramColumns.h"
#include "analysis/SpectrogramError.h"

#include <QImage>
#include <QString>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stop_token>

// 256 entries of blue, green, red bytes (the byte order of a 24-bit pixel row).
using SpectrogramPalette = std::array<std::uint8_t, 256 * 3>;

void BuildSpectrogramPalette(SpectrogramPalette& palette);

struct SpectrogramOptions {
    // Also analyse the file from the same frames (AudioQualityPass and the
    // second opinion): the frames past the picture's last are read for it too.
    bool withAnalysis = false;
    // The picture's widest; a file of more frames folds them (SpectrogramColumns).
    // At most kSpectrogramMaxColumns.
    std::int64_t maxColumns = kSpectrogramMaxColumns;
};

// What one rendering gave: the picture, or why there is none.
struct SpectrogramRender {
    QImage picture; // QImage::Format_BGR888, 1024 rows; null unless ok()
    SpectrogramError error = SpectrogramError::None;
    int decoderCode = 0;          // the decoder's error code, for CannotDecode
    std::uint32_t sampleRate = 0; // Hz, once the file is open
    std::int64_t frames = 0;      // 2048-sample frames read into the picture (its width
                                  // unless they were folded)
    // With SpectrogramOptions::withAnalysis, beside a picture: what
    // AnalyzeAudioQuality gives for the file.
    std::optional<TAudioQualityResult> analysis;
    // ... and what AnalyzeQualityAndSource gives as the second opinion.
    std::optional<SourceAssessment> source;

    bool ok() const { return error == SpectrogramError::None; }
    // Completes "cannot render 'FILE': "; empty when ok().
    QString errorText() const { return SpectrogramErrorText(error, decoderCode); }
};

// Renders the whole file in one decoding pass: one column per 2048-sample
// frame up to SpectrogramOptions::maxColumns, frames folded beyond (see
// SpectrogramColumns), 1024 rows, 0 Hz at the bottom. Safe on any thread. `stop` is looked
// at before every frame is read and while the picture is painted, so a
// cancel ends the work within milliseconds (as SpectrogramError::Cancelled).
// Never throws: running out of memory is SpectrogramError::OutOfMemory.
SpectrogramRender RenderSpectrogramFile(const QString& fileName, std::stop_token stop = {},
                                        const SpectrogramOptions& options = {});

// The same from a whole file held in memory (`data` is only read during the call).
SpectrogramRender RenderSpectrogramMemory(const void* data, std::size_t size,
                                          std::stop_token stop = {},
                                          const SpectrogramOptions& options = {});

// Renders the file into `bitmap`. When the file cannot be rendered the bitmap
// is left exactly as it was and nothing is said; only running out of memory
// comes back, as std::bad_alloc.
void RenderSpectrogram(const QString& fileName, QImage& bitmap);

// The same from a whole file held in memory.
void RenderSpectrogramFromMemory(const void* data, std::size_t size, QImage& bitmap);
