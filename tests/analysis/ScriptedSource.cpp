#include "ScriptedSource.h"

#include <algorithm>
#include <cmath>

int ScriptedSource::nextFft2048(float magnitudes[1024]) {
    if (m_next >= spectra.size())
        return 0;
    std::copy(spectra[m_next].begin(), spectra[m_next].end(), magnitudes);
    ++m_next;
    if (framesDelivered)
        ++*framesDelivered;
    return 2048;
}

std::vector<float> FrameFromDb(const std::vector<double>& levelsDb) {
    std::vector<float> frame(1024);
    for (std::size_t b = 0; b < 1024; ++b)
        frame[b] = float(std::pow(10.0, levelsDb[b] / 20.0));
    return frame;
}

ScopedScriptedFile::ScopedScriptedFile(const QString& path, ScriptedSource prototype)
    : m_route(path, [prototype = std::move(prototype)] {
          return std::make_unique<ScriptedSource>(prototype);
      }) {}
