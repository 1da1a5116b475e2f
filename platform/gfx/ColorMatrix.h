#pragma once
// A 5 x 5 colour matrix applied to each pixel as the row vector R G B A 1, channels running
// from 0 to 1 of full scale. Plain values and pure functions, any thread.

#include <array>

#include "gfx/Bitmap.h"

namespace vesk::gfx {

struct ColorMatrix {
    std::array<std::array<float, 5>, 5> m{};
};

// The bitmap's pixels passed through the matrix, each result clamped to 0..1.
Bitmap ApplyColorMatrix(const Bitmap& bitmap, const ColorMatrix& matrix);
Argb ApplyColorMatrix(Argb pixel, const ColorMatrix& matrix);

}  // namespace vesk::gfx
