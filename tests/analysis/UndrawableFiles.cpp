#include "UndrawableFiles.h"

#include "support/TestMedia.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

using namespace testmedia;

namespace {

// A copy of a short WAV with one header field changed (offsets of the
// canonical 44-byte header).
QString PatchedWav(const QString& good, const QString& path, qsizetype at, quint16 value) {
    QByteArray bytes = ReadAll(good);
    qToLittleEndian(value, bytes.data() + at);
    return WriteBytes(path, bytes);
}

} // namespace

void TryUndrawableFiles(const std::function<void(const UndrawableFile&)>& tryFile) {
    const QTemporaryDir dir;
    const auto path = [&dir](const char* name) { return dir.filePath(QString::fromLatin1(name)); };
    const QString scripted = QStringLiteral("/scripted/render.flac");
    const QString good = WriteWav(path("good.wav"), SineAtBin(40, 44100, 8192, 0.5f), 44100);
    EXPECT_TRUE(QFile::link(QStringLiteral("/dev/null"), path("null.wav")));
    ScriptedSource noFrames; // claims a second, delivers nothing
    noFrames.frames = 44100;
    ScriptedSource unknownLength;
    unknownLength.frames = std::nullopt;
    unknownLength.spectra.assign(5, std::vector<float>(1024, 0.5f));

    const UndrawableFile files[] = {
        {"missing", path("missing.wav"), std::nullopt, SpectrogramError::NoSuchFile},
        {"folder", dir.path(), std::nullopt, SpectrogramError::IsFolder},
        {"device", path("null.wav"), std::nullopt, SpectrogramError::CannotRead},
        {"text", WriteBytes(path("notes.mp3"), "not sound"), std::nullopt,
         SpectrogramError::NotAudio},
        {"unknown codec", PatchedWav(good, path("codec.wav"), 20, 0x2345), std::nullopt,
         SpectrogramError::NoDecoder},
        {"no channels", PatchedWav(good, path("channels.wav"), 22, 0), std::nullopt,
         SpectrogramError::UnsupportedFormat},
        {"2047 samples", WriteWav(path("short.wav"), SineAtBin(40, 44100, 2047, 0.5f), 44100),
         std::nullopt, SpectrogramError::TooShort},
        {"length unknown", scripted, unknownLength, SpectrogramError::TooShort},
        {"no frame delivered", scripted, noFrames, SpectrogramError::NoSound},
    };
    for (const UndrawableFile& file : files) {
        std::optional<ScopedScriptedFile> route;
        if (file.Script)
            route.emplace(file.Path, *file.Script);
        tryFile(file);
    }
}
