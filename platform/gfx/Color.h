#pragma once
// The two colour forms the drawing code meets: GDI colours (0x00BBGGRR) for text and brushes,
// and ARGB colours (0xAARRGGBB) for everything drawn with alpha. Plain values, any thread.

#include <cstdint>

namespace vesk::gfx {

using ColorRef = std::uint32_t;
using Argb = std::uint32_t;

constexpr ColorRef Rgb(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return ColorRef{red} | (ColorRef{green} << 8) | (ColorRef{blue} << 16);
}
constexpr std::uint8_t RedOf(ColorRef c) {
    return static_cast<std::uint8_t>(c & 0xFF);
}
constexpr std::uint8_t GreenOf(ColorRef c) {
    return static_cast<std::uint8_t>((c >> 8) & 0xFF);
}
constexpr std::uint8_t BlueOf(ColorRef c) {
    return static_cast<std::uint8_t>((c >> 16) & 0xFF);
}

constexpr Argb MakeArgb(std::uint8_t alpha, std::uint8_t red, std::uint8_t green,
                        std::uint8_t blue) {
    return (Argb{alpha} << 24) | (Argb{red} << 16) | (Argb{green} << 8) | Argb{blue};
}
constexpr std::uint8_t ArgbAlpha(Argb c) {
    return static_cast<std::uint8_t>(c >> 24);
}
constexpr std::uint8_t ArgbRed(Argb c) {
    return static_cast<std::uint8_t>((c >> 16) & 0xFF);
}
constexpr std::uint8_t ArgbGreen(Argb c) {
    return static_cast<std::uint8_t>((c >> 8) & 0xFF);
}
constexpr std::uint8_t ArgbBlue(Argb c) {
    return static_cast<std::uint8_t>(c & 0xFF);
}

// A GDI colour as an ARGB colour.
constexpr Argb ArgbFromColorRef(ColorRef c, std::uint8_t alpha = 255) {
    return MakeArgb(alpha, RedOf(c), GreenOf(c), BlueOf(c));
}
// A stored 0x00RRGGBB value as an ARGB colour: red from bits 16-23, blue from bits 0-7.
constexpr Argb ArgbFromRgbValue(std::uint32_t rrggbb, std::uint8_t alpha = 255) {
    return (Argb{alpha} << 24) | (rrggbb & 0xFFFFFFu);
}

}  // namespace vesk::gfx
