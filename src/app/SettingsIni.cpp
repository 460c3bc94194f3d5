#include "app/SettingsIni.h"

#include <QFile>
#include <QStringDecoder>

bool IsStrictUtf8(const QByteArray& bytes) {
    // Stateless: a sequence cut off at the end is an error, not saved state.
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    Q_UNUSED(text);
    return !decoder.hasError();
}

std::unique_ptr<QSettings> OpenSettingsIni(const QString& path) {
    QFile file(path);
    if (file.exists()) {
        bool loadable = file.open(QIODevice::ReadOnly);
        if (loadable)
            loadable = IsStrictUtf8(file.readAll()) && file.error() == QFileDevice::NoError;
        file.close();
        if (!loadable)
            QFile::remove(path);
    }
    return std::make_unique<QSettings>(path, QSettings::IniFormat);
}

namespace {
const QString kScaleAndCutoffKey = QStringLiteral("SpectrumPanel/ShowScaleAndCutoff");
}

bool StoredScaleAndCutoff(const QSettings& settings) {
    return settings.value(kScaleAndCutoffKey, false).toBool();
}

void StoreScaleAndCutoff(QSettings& settings, bool shown) {
    settings.setValue(kScaleAndCutoffKey, shown);
    settings.sync();
}
