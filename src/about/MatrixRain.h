#pragma once

#include <QChar>
#include <QColor>
#include <QString>
#include <array>
#include <functional>

// The falling characters behind the about box's content: a grid of cells in
// which drops run down, each drawing its head bright and the cell above it dim.

struct TMatrixDrop {
    int X = 0;          // column
    int Y = 0;          // row of the head
    int Speed = 1;      // 1..3: the head moves one row every Speed ticks
    int Brightness = 0; // 0..99
};

constexpr int kMaxMatrixDrops = 5000;

// A random integer from 0 to bound - 1.
using MatrixRandom = std::function<int(int bound)>;

// The state of one about box's animation: which characters fall, the drops
// in use and the ticks since the animation was started. Every random draw
// goes through the source it was given.
class MatrixRain {
public:
    // An empty source stands for the program's generator.
    explicit MatrixRain(MatrixRandom random = {});

    QString MatrixAlphabet; // the characters that fall
    std::array<TMatrixDrop, kMaxMatrixDrops> MatrixDrops;
    int DropCount = 0;
    int MatrixTickCount = 0; // ticks since the animation was started

    // Seeds the next drop in column DropCount modulo the width, at a random
    // row, speed and brightness; nothing once kMaxMatrixDrops are in use.
    void AddDrop(int matrixWidth, int matrixHeight);

    // Starts afresh with two drops per column.
    void InitDrops(int matrixWidth, int matrixHeight);

    // Moves the drop's head one row when its speed says so; a head past the
    // bottom (row matrixHeight + 1) starts again at the top with a new speed
    // and brightness.
    void advanceDrop(TMatrixDrop& drop, int tick, int matrixHeight) const;

    // A character of MatrixAlphabet, each equally likely.
    QChar randomChar() const;

    // A random integer from 0 to bound - 1; 0 for a bound of 0 or less.
    int randomInt(int bound) const;

private:
    MatrixRandom m_random;
};

// Whether a drop of `speed` moves its head on tick `tick`.
bool DropMovesOnTick(int tick, int speed);

// The row whose cell a head in row `y` erases: 40 rows above, wrapped around
// a grid of matrixHeight + 1 rows.
int TailRow(int y, int matrixHeight);

struct DropColours {
    QColor Head;
    QColor Trail;
};

// Green-tinted head and trail colours for a brightness of 0..99; 99 gives
// head (148, 252, 98) and trail (49, 84, 32).
DropColours DropColoursFor(int brightness);

// The interval of the sliding timer in ms: 5 scaled by how the screen's DPI
// compares with the window's, to the nearest integer (a half to the even
// neighbour), never below 1.
int SlideIntervalMs(double screenPixelsPerInch, double windowPixelsPerInch);
