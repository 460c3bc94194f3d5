#pragma once

#include <QFont>

// What a window's text adds to the plain face.
struct FontStyle {
    bool Bold = false;
    bool Underline = false;
};

// The face the small windows are laid out for: Tahoma where the system has
// it, else the application's own family, at `pixelHeight` pixels.
QFont WindowFont(int pixelHeight, FontStyle style = {});

// The same face sized in points, for a window that follows the screen's
// text scale.
QFont WindowFontInPoints(int pointSize, FontStyle style = {});
