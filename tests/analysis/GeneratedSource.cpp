#include "GeneratedSource.h"

#include <algorithm>
#include <memory>

int GeneratedSource::nextFft2048(float magnitudes[1024]) {
    if (m_next >= available)
        return 0;
    std::fill(magnitudes, magnitudes + 1024, 0.0f);
    if (fill)
        fill(m_next, magnitudes);
    ++m_next;
    if (reads)
        ++*reads;
    if (onRead)
        onRead();
    return 2048;
}

ScopedGeneratedFile::ScopedGeneratedFile(const QString& path, const GeneratedSource& prototype) {
    SetChannelSourceFactoryForTesting(
        [path, prototype](const QString& requested) -> std::unique_ptr<ChannelSource> {
            if (requested != path)
                return nullptr;
            return std::make_unique<GeneratedSource>(prototype);
        });
}

ScopedGeneratedFile::~ScopedGeneratedFile() {
    SetChannelSourceFactoryForTesting(nullptr);
}
