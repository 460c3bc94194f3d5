#include "support/TestMedia.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QtEndian>
#include <cmath>
#include <gtest/gtest.h>
#include <numbers>

namespace testmedia {

bool RunFfmpeg(const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("ffmpeg"),
                  QStringList{QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"),
                              QStringLiteral("error"), QStringLiteral("-nostdin"),
                              QStringLiteral("-y")} +
                      arguments);
    if (!process.waitForFinished(120000)) {
        ADD_FAILURE() << "ffmpeg did not finish";
        return false;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        ADD_FAILURE() << "ffmpeg " << arguments.join(u' ').toStdString() << " failed:\n"
                      << process.readAll().toStdString();
        return false;
    }
    return true;
}

QString Generate(const QString& path, const QString& lavfiSource,
                 const QStringList& outputOptions) {
    RunFfmpeg(QStringList{QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                          lavfiSource} +
              outputOptions + QStringList{path});
    return path;
}

QString WriteWav(const QString& path, const std::vector<float>& samples, int sampleRate,
                 int channels, bool float32) {
    const int bytesPerSample = float32 ? 4 : 2;
    QByteArray data;
    data.reserve(qsizetype(samples.size()) * bytesPerSample);
    for (float s : samples) {
        if (float32) {
            char bytes[4];
            qToLittleEndian(s, bytes);
            data.append(bytes, 4);
            continue;
        }
        const float clamped = std::clamp(s, -1.0f, 1.0f);
        const auto value = qint16(std::lrint(clamped * 32767.0f));
        char bytes[2];
        qToLittleEndian(value, bytes);
        data.append(bytes, 2);
    }
    QByteArray header;
    auto put32 = [&](quint32 v) {
        char b[4];
        qToLittleEndian(v, b);
        header.append(b, 4);
    };
    auto put16 = [&](quint16 v) {
        char b[2];
        qToLittleEndian(v, b);
        header.append(b, 2);
    };
    header.append("RIFF", 4);
    put32(quint32(36 + data.size()));
    header.append("WAVEfmt ", 8);
    put32(16);
    put16(float32 ? 3 : 1); // WAVE_FORMAT_IEEE_FLOAT or PCM
    put16(quint16(channels));
    put32(quint32(sampleRate));
    put32(quint32(sampleRate * channels * bytesPerSample));
    put16(quint16(channels * bytesPerSample));
    put16(quint16(bytesPerSample * 8));
    header.append("data", 4);
    put32(quint32(data.size()));
    return WriteBytes(path, header + data);
}

QString WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    file.write(bytes);
    return path;
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::vector<float> SineAtBin(int bin, int sampleRate, int frames, float amplitude) {
    std::vector<float> samples(static_cast<std::size_t>(frames));
    const double frequency = double(bin) * sampleRate / 2048.0;
    for (int i = 0; i < frames; ++i)
        samples[std::size_t(i)] =
            float(amplitude * std::sin(2.0 * std::numbers::pi * frequency * i / sampleRate));
    return samples;
}

QString CliPath() {
    const QByteArray fromEnv = qgetenv("KORVANE_CLI");
    if (!fromEnv.isEmpty())
        return QString::fromLocal8Bit(fromEnv);
    return QStringLiteral(KORVANE_CLI_PATH);
}

CliRun RunCli(const QStringList& arguments, const QString& workingDir, const QByteArray& input) {
    QProcess process;
    process.setWorkingDirectory(workingDir);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), workingDir + QStringLiteral("/.cache"));
    process.setProcessEnvironment(env);
    process.start(CliPath(), arguments);
    process.write(input);
    process.closeWriteChannel();
    EXPECT_TRUE(process.waitForFinished(120000));
    CliRun run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

} // namespace testmedia
