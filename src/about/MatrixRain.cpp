#include "about/MatrixRain.h"

#include <QRandomGenerator>
#include <algorithm>
#include <cmath>

namespace {

// Tail cells sit this many rows above the head.
constexpr int kTailDistance = 40;

} // namespace

MatrixRain::MatrixRain(MatrixRandom random) : m_random(std::move(random)) {
    if (!m_random) {
        m_random = [](int bound) {
            return static_cast<int>(QRandomGenerator::global()->bounded(bound));
        };
    }
}

int MatrixRain::randomInt(int bound) const {
    if (bound <= 0) {
        return 0;
    }
    return m_random(bound);
}

void MatrixRain::AddDrop(int matrixWidth, int matrixHeight) {
    if (DropCount >= kMaxMatrixDrops || matrixWidth <= 0) {
        return;
    }
    TMatrixDrop& drop = MatrixDrops[static_cast<size_t>(DropCount)];
    drop.X = DropCount % matrixWidth;
    drop.Y = randomInt(matrixHeight);
    drop.Speed = 1 + randomInt(3);
    drop.Brightness = randomInt(100);
    ++DropCount;
}

void MatrixRain::InitDrops(int matrixWidth, int matrixHeight) {
    DropCount = 0;
    for (int i = 0; i < 2 * matrixWidth; ++i) {
        AddDrop(matrixWidth, matrixHeight);
    }
}

void MatrixRain::advanceDrop(TMatrixDrop& drop, int tick, int matrixHeight) const {
    if (!DropMovesOnTick(tick, drop.Speed)) {
        return;
    }
    ++drop.Y;
    if (drop.Y > matrixHeight + 1) {
        drop.Y = 0;
        drop.Speed = 1 + randomInt(3);
        drop.Brightness = randomInt(100);
    }
}

QChar MatrixRain::randomChar() const {
    if (MatrixAlphabet.isEmpty()) {
        return QChar(u' ');
    }
    return MatrixAlphabet.at(randomInt(static_cast<int>(MatrixAlphabet.size())));
}

bool DropMovesOnTick(int tick, int speed) {
    return speed > 0 && tick % speed == 0;
}

int TailRow(int y, int matrixHeight) {
    int row = y - kTailDistance;
    if (matrixHeight + 1 <= 0) {
        return row; // no grid to wrap around
    }
    while (row < 0) {
        row += matrixHeight + 1;
    }
    return row;
}

DropColours DropColoursFor(int brightness) {
    const int v = brightness * 255 / 100;
    const int w = v / 3;
    return {QColor(v * 150 / 255, v, v * 100 / 255), QColor(w * 150 / 255, w, w * 100 / 255)};
}

int SlideIntervalMs(double screenPixelsPerInch, double windowPixelsPerInch) {
    if (!(windowPixelsPerInch > 0) || !(screenPixelsPerInch > 0)) {
        return 5;
    }
    // nearbyint rounds a half to the even neighbour in the default mode.
    const double interval = std::nearbyint(5.0 * screenPixelsPerInch / windowPixelsPerInch);
    return std::max(1, static_cast<int>(std::min(interval, 1000.0)));
}
