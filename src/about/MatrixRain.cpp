#include "about/MatrixRain.h"

#include <QRandomGenerator>
#include <algorithm>
#include <cmath>

QString MatrixAlphabet;
std::array<TMatrixDrop, kMaxMatrixDrops> MatrixDrops;
int DropCount = 0;
int MatrixTickCount = 0;

namespace {

MatrixRandom RandomForTesting;

// Tail cells sit this many rows above the head.
constexpr int kTailDistance = 40;

} // namespace

void SetMatrixRandomForTesting(MatrixRandom random) {
    RandomForTesting = std::move(random);
}

int MatrixRandomInt(int bound) {
    if (bound <= 0) {
        return 0;
    }
    if (RandomForTesting) {
        return RandomForTesting(bound);
    }
    return static_cast<int>(QRandomGenerator::global()->bounded(bound));
}

void AddDrop(int matrixWidth, int matrixHeight) {
    if (DropCount >= kMaxMatrixDrops || matrixWidth <= 0) {
        return;
    }
    TMatrixDrop& drop = MatrixDrops[static_cast<size_t>(DropCount)];
    drop.X = DropCount % matrixWidth;
    drop.Y = MatrixRandomInt(matrixHeight);
    drop.Speed = 1 + MatrixRandomInt(3);
    drop.Brightness = MatrixRandomInt(100);
    ++DropCount;
}

void InitDrops(int matrixWidth, int matrixHeight) {
    DropCount = 0;
    for (int i = 0; i < 2 * matrixWidth; ++i) {
        AddDrop(matrixWidth, matrixHeight);
    }
}

bool DropMovesOnTick(int tick, int speed) {
    return speed > 0 && tick % speed == 0;
}

void AdvanceDrop(TMatrixDrop& drop, int tick, int matrixHeight) {
    if (!DropMovesOnTick(tick, drop.Speed)) {
        return;
    }
    ++drop.Y;
    if (drop.Y > matrixHeight + 1) {
        drop.Y = 0;
        drop.Speed = 1 + MatrixRandomInt(3);
        drop.Brightness = MatrixRandomInt(100);
    }
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

QChar RandomMatrixChar() {
    if (MatrixAlphabet.isEmpty()) {
        return QChar(u' ');
    }
    return MatrixAlphabet.at(MatrixRandomInt(static_cast<int>(MatrixAlphabet.size())));
}

int SlideIntervalMs(double screenPixelsPerInch, double windowPixelsPerInch) {
    if (!(windowPixelsPerInch > 0) || !(screenPixelsPerInch > 0)) {
        return 5;
    }
    // nearbyint rounds a half to the even neighbour in the default mode.
    const double interval = std::nearbyint(5.0 * screenPixelsPerInch / windowPixelsPerInch);
    return std::max(1, static_cast<int>(std::min(interval, 1000.0)));
}
