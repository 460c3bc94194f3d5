// The in-memory entry of the renderer draws what the file entry draws.
#include "analysis/Spectrogram.h"
#include "support/TestMedia.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace testmedia;

TEST(SpectrogramFromMemory, SamePictureAsFromTheFile) {
    QTemporaryDir dir;
    const QString file = Generate(dir.filePath(QStringLiteral("tone.ogg")),
                                  QStringLiteral("sine=f=3000:r=44100:d=2"), {"-c:a", "libvorbis"});
    QFile in(file);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    const QByteArray bytes = in.readAll();

    QImage fromFile;
    RenderSpectrogram(file, fromFile);
    QImage fromMemory;
    RenderSpectrogramFromMemory(bytes.constData(), std::size_t(bytes.size()), fromMemory);
    ASSERT_FALSE(fromFile.isNull());
    EXPECT_EQ(fromMemory, fromFile);
}

TEST(SpectrogramFromMemory, BytesThatAreNoMediaLeaveThePictureAlone) {
    QImage picture(3, 4, QImage::Format_BGR888);
    picture.fill(Qt::green);
    const QImage before = picture;
    const QByteArray text("no sound in here, just words");
    RenderSpectrogramFromMemory(text.constData(), std::size_t(text.size()), picture);
    EXPECT_EQ(picture, before);
    RenderSpectrogramFromMemory(nullptr, 0, picture);
    EXPECT_EQ(picture, before);
}
