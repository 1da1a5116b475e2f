#include "gfx/Bitmap.h"

#include <cairo.h>

#include <climits>
#include <cstdio>
#include <vector>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_GIF
#define STBI_ONLY_BMP
#define STBI_ONLY_JPEG
#define STBI_NO_STDIO
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wold-style-cast"
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wunused-function"
#include <stb/stb_image.h>
#pragma GCC diagnostic pop

namespace vesk::gfx {

namespace {

// stb_image hands out straight RGBA bytes; surfaces hold premultiplied native-endian ARGB.
Surface FromRgba(const unsigned char* rgba, int width, int height) {
    Surface surface(width, height);
    if (surface.IsEmpty()) return surface;
    for (int y = 0; y < height; ++y) {
        std::uint32_t* row = surface.Row(y);
        const unsigned char* in = rgba + static_cast<std::size_t>(y) * width * 4;
        for (int x = 0; x < width; ++x, in += 4) {
            const std::uint32_t a = in[3];
            auto pre = [a](std::uint32_t c) { return (c * a + 127) / 255; };
            row[x] = (a << 24) | (pre(in[0]) << 16) | (pre(in[1]) << 8) | pre(in[2]);
        }
    }
    cairo_surface_mark_dirty(surface.Handle());
    return surface;
}

}  // namespace

Bitmap Bitmap::FromMemory(std::span<const std::uint8_t> bytes) {
    if (bytes.empty() || bytes.size() > static_cast<std::size_t>(INT_MAX)) return {};
    int width = 0, height = 0, channels = 0;
    unsigned char* rgba = stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()),
                                                &width, &height, &channels, 4);
    if (!rgba) return {};
    Bitmap bitmap(FromRgba(rgba, width, height));
    stbi_image_free(rgba);
    return bitmap;
}

Bitmap Bitmap::FromFile(const std::string& path) {
    // Plain stdio: a stream reading a folder throws, and nothing may throw out of here.
    // "e": a program started meanwhile from another thread must not inherit it.
    FILE* file = std::fopen(path.c_str(), "rbe");
    if (!file) return {};
    std::vector<std::uint8_t> bytes;
    std::uint8_t buffer[65536];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.insert(bytes.end(), buffer, buffer + n);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    return failed ? Bitmap() : FromMemory(bytes);
}

}  // namespace vesk::gfx
