#include "Painter.h"

#include <algorithm>
#include <cmath>

namespace vesk::theme {

namespace {

// Signed distance from a point to a rounded rectangle: negative inside.
double RoundRectDistance(double px, double py, double x, double y, double w, double h,
                         double radius) {
    const double cx = x + w / 2, cy = y + h / 2;
    const double qx = std::abs(px - cx) - (w / 2 - radius);
    const double qy = std::abs(py - cy) - (h / 2 - radius);
    const double outside = std::hypot(std::max(qx, 0.0), std::max(qy, 0.0));
    return outside + std::min(std::max(qx, qy), 0.0) - radius;
}

double Coverage(double distance) {
    return std::clamp(0.5 - distance, 0.0, 1.0);
}

std::uint8_t Channel(double v) {
    return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255));
}

}  // namespace

Rgb FromHex(unsigned hex) {
    return {((hex >> 16) & 0xFF) / 255.0, ((hex >> 8) & 0xFF) / 255.0, (hex & 0xFF) / 255.0};
}

Rgb Mix(const Rgb& a, const Rgb& b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

void Painter::Blend(int x, int y, const Rgb& color, double alpha) {
    if (alpha <= 0 || x < 0 || y < 0 || x >= m_target.Width() || y >= m_target.Height()) return;
    const gfx::Argb under = m_target.Pixel(x, y);
    const double ua = gfx::ArgbAlpha(under) / 255.0;
    const double oa = alpha + ua * (1 - alpha);
    auto channel = [&](double over, std::uint8_t below) {
        return (over * alpha + below / 255.0 * ua * (1 - alpha)) / oa;
    };
    m_target.SetPixel(x, y,
                      gfx::MakeArgb(Channel(oa), Channel(channel(color.r, gfx::ArgbRed(under))),
                                    Channel(channel(color.g, gfx::ArgbGreen(under))),
                                    Channel(channel(color.b, gfx::ArgbBlue(under)))));
}

void Painter::FillRoundRect(double x, double y, double w, double h, double radius, const Rgb& top,
                            const Rgb& bottom, double alpha) {
    for (int py = static_cast<int>(y); py < static_cast<int>(std::ceil(y + h)); ++py)
        for (int px = static_cast<int>(x); px < static_cast<int>(std::ceil(x + w)); ++px) {
            const double d = RoundRectDistance(px + 0.5, py + 0.5, x, y, w, h, radius);
            const double t = h > 1 ? std::clamp((py + 0.5 - y) / h, 0.0, 1.0) : 0;
            Blend(px, py, Mix(top, bottom, t), alpha * Coverage(d));
        }
}

void Painter::StrokeRoundRect(double x, double y, double w, double h, double radius, double width,
                              const Rgb& color, double alpha) {
    for (int py = static_cast<int>(y); py < static_cast<int>(std::ceil(y + h)); ++py)
        for (int px = static_cast<int>(x); px < static_cast<int>(std::ceil(x + w)); ++px) {
            const double d = RoundRectDistance(px + 0.5, py + 0.5, x, y, w, h, radius);
            // Inside the edge and no deeper than the width.
            const double band = std::min(Coverage(d), Coverage(-d - width));
            Blend(px, py, color, alpha * band);
        }
}

void Painter::Line(double x0, double y0, double x1, double y1, double width, const Rgb& color,
                   double alpha) {
    const double dx = x1 - x0, dy = y1 - y0;
    const double length2 = std::max(dx * dx + dy * dy, 1e-9);
    const int left = static_cast<int>(std::min(x0, x1) - width),
              right = static_cast<int>(std::max(x0, x1) + width) + 1;
    const int top = static_cast<int>(std::min(y0, y1) - width),
              bottom = static_cast<int>(std::max(y0, y1) + width) + 1;
    for (int py = top; py <= bottom; ++py)
        for (int px = left; px <= right; ++px) {
            const double cx = px + 0.5, cy = py + 0.5;
            const double t = std::clamp(((cx - x0) * dx + (cy - y0) * dy) / length2, 0.0, 1.0);
            const double d = std::hypot(cx - (x0 + t * dx), cy - (y0 + t * dy)) - width / 2;
            Blend(px, py, color, alpha * Coverage(d));
        }
}

void Painter::Disc(double cx, double cy, double radius, const Rgb& color, double alpha) {
    Line(cx, cy, cx, cy, radius * 2, color, alpha);
}

}  // namespace vesk::theme
