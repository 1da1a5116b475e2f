#include "gfx/Surface.h"

#include <cairo.h>

#include <cstring>
#include <utility>

namespace vesk::gfx {

namespace {

// Cairo keeps colour channels premultiplied by alpha; callers see straight ARGB.
Argb Unpremultiply(std::uint32_t p) {
    const std::uint32_t a = p >> 24;
    if (a == 0) return 0;
    if (a == 255) return p;
    auto channel = [a](std::uint32_t c) { return (c * 255 + a / 2) / a; };
    return (a << 24) | (channel((p >> 16) & 0xFF) << 16) | (channel((p >> 8) & 0xFF) << 8) |
           channel(p & 0xFF);
}

std::uint32_t Premultiply(Argb c) {
    const std::uint32_t a = c >> 24;
    if (a == 255) return c;
    auto channel = [a](std::uint32_t v) { return (v * a + 127) / 255; };
    return (a << 24) | (channel((c >> 16) & 0xFF) << 16) | (channel((c >> 8) & 0xFF) << 8) |
           channel(c & 0xFF);
}

}  // namespace

Surface::Surface(int width, int height) {
    if (width <= 0 || height <= 0) return;
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        return;
    }
    m_surface = s;
    m_width = width;
    m_height = height;
}

Surface::~Surface() {
    if (m_surface) cairo_surface_destroy(m_surface);
}

Surface::Surface(Surface&& other) noexcept
    : m_surface(std::exchange(other.m_surface, nullptr)),
      m_width(std::exchange(other.m_width, 0)),
      m_height(std::exchange(other.m_height, 0)) {}

Surface& Surface::operator=(Surface&& other) noexcept {
    if (this != &other) {
        if (m_surface) cairo_surface_destroy(m_surface);
        m_surface = std::exchange(other.m_surface, nullptr);
        m_width = std::exchange(other.m_width, 0);
        m_height = std::exchange(other.m_height, 0);
    }
    return *this;
}

Surface Surface::Copy() const {
    Surface copy(m_width, m_height);
    if (copy.IsEmpty()) return copy;
    cairo_surface_flush(m_surface);
    for (int y = 0; y < m_height; ++y)
        std::memcpy(copy.Row(y), Row(y), static_cast<std::size_t>(m_width) * sizeof(std::uint32_t));
    cairo_surface_mark_dirty(copy.m_surface);
    return copy;
}

std::uint32_t* Surface::Row(int y) const {
    unsigned char* data = cairo_image_surface_get_data(m_surface);
    return reinterpret_cast<std::uint32_t*>(data + y * cairo_image_surface_get_stride(m_surface));
}

int Surface::Stride() const {
    return m_surface ? cairo_image_surface_get_stride(m_surface) : 0;
}

Argb Surface::Pixel(int x, int y) const {
    if (!m_surface || x < 0 || y < 0 || x >= m_width || y >= m_height) return 0;
    cairo_surface_flush(m_surface);
    return Unpremultiply(Row(y)[x]);
}

void Surface::SetPixel(int x, int y, Argb color) {
    if (!m_surface || x < 0 || y < 0 || x >= m_width || y >= m_height) return;
    cairo_surface_flush(m_surface);
    Row(y)[x] = Premultiply(color);
    cairo_surface_mark_dirty(m_surface);
}

void Surface::Clear(Argb color) {
    if (!m_surface) return;
    cairo_surface_flush(m_surface);
    const std::uint32_t p = Premultiply(color);
    for (int y = 0; y < m_height; ++y) {
        std::uint32_t* row = Row(y);
        for (int x = 0; x < m_width; ++x) row[x] = p;
    }
    cairo_surface_mark_dirty(m_surface);
}

bool Surface::SavePng(const std::string& path) const {
    return m_surface && cairo_surface_write_to_png(m_surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
}

}  // namespace vesk::gfx
