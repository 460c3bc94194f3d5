#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdint>
#include <vector>

namespace testmedia {

// Runs the ffmpeg tool quietly with `arguments` (after -y); true on success.
bool RunFfmpeg(const QStringList& arguments);

// Makes `path` from a lavfi source graph, e.g.
// Generate(dir.filePath("a.flac"), "anoisesrc=d=3:r=44100", {"-c:a", "flac"}).
// Fails the current test when ffmpeg fails.
QString Generate(const QString& path, const QString& lavfiSource,
                 const QStringList& outputOptions = {});

// Writes a WAV file (16-bit PCM, or 32-bit float when `float32`) from mono or
// interleaved samples in [-1, 1].
QString WriteWav(const QString& path, const std::vector<float>& samples, int sampleRate,
                 int channels = 1, bool float32 = false);

// Writes raw bytes.
QString WriteBytes(const QString& path, const QByteArray& bytes);
// A file's bytes; empty when it cannot be read.
QByteArray ReadAll(const QString& path);

// A full-scale-relative sine at the centre of FFT bin `bin` of a 2048-point FFT.
std::vector<float> SineAtBin(int bin, int sampleRate, int frames, float amplitude = 1.0f);

// Where korvane-cli was built (from the KORVANE_CLI environment or beside the test).
QString CliPath();

// What one run of korvane-cli printed and how it ended (-1: it crashed).
struct CliRun {
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs korvane-cli in `workingDir` with the C locale, `input` on its standard
// input, and waits for it. Its results cache is `workingDir`/.cache/korvane,
// never the user's.
CliRun RunCli(const QStringList& arguments, const QString& workingDir,
              const QByteArray& input = {});

} // namespace testmedia
