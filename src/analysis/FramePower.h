#pragma once

#include <array>
#include <cmath>
#include <cstddef>

// One FFT frame's power per bin, the squares of its 1024 magnitudes in double
// precision: worked out once per frame and read by every analysis of it.
using FramePower = std::array<double, 1024>;

// A level difference in dB as a factor of power.
inline double PowerRatio(double db) {
    return std::pow(10.0, db / 10.0);
}

inline void PowerOfFrame(const float* magnitudes, FramePower& power) {
    for (std::size_t b = 0; b < power.size(); ++b)
        power[b] = double(magnitudes[b]) * double(magnitudes[b]);
}
