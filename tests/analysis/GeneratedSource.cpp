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

ScopedGeneratedFile::ScopedGeneratedFile(const QString& path, const GeneratedSource& prototype)
    : m_route(path, [prototype] { return std::make_unique<GeneratedSource>(prototype); }) {}
