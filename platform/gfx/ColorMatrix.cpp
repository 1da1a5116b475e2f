#include "gfx/ColorMatrix.h"

#include <algorithm>
#include <cmath>

namespace vesk::gfx {

namespace {

std::uint8_t ToChannel(float value) {
    return static_cast<std::uint8_t>(std::lround(std::clamp(value, 0.0f, 1.0f) * 255.0f));
}

}  // namespace

Argb ApplyColorMatrix(Argb pixel, const ColorMatrix& matrix) {
    const float in[5] = {ArgbRed(pixel) / 255.0f, ArgbGreen(pixel) / 255.0f,
                         ArgbBlue(pixel) / 255.0f, ArgbAlpha(pixel) / 255.0f, 1.0f};
    float out[4] = {};
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 5; ++row) out[column] += in[row] * matrix.m[row][column];
    return MakeArgb(ToChannel(out[3]), ToChannel(out[0]), ToChannel(out[1]), ToChannel(out[2]));
}

Bitmap ApplyColorMatrix(const Bitmap& bitmap, const ColorMatrix& matrix) {
    Surface result(bitmap.Width(), bitmap.Height());
    for (int y = 0; y < bitmap.Height(); ++y)
        for (int x = 0; x < bitmap.Width(); ++x)
            result.SetPixel(x, y, ApplyColorMatrix(bitmap.Pixel(x, y), matrix));
    return Bitmap(std::move(result));
}

}  // namespace vesk::gfx
