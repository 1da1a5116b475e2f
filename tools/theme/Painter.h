#pragma once
// Anti-aliased shapes for the theme images, drawn pixel by pixel onto a surface: vertical
// gradients, rounded rectangles, their outlines and round-capped strokes, each blended over
// what is there.

#include "gfx/Surface.h"

namespace vesk::theme {

struct Rgb {
    double r = 0, g = 0, b = 0;
};

Rgb FromHex(unsigned hex);
Rgb Mix(const Rgb& a, const Rgb& b, double t);

class Painter {
public:
    explicit Painter(gfx::Surface& target) : m_target(target) {}

    // A rounded rectangle filled from top colour to bottom colour.
    void FillRoundRect(double x, double y, double w, double h, double radius, const Rgb& top,
                       const Rgb& bottom, double alpha = 1);
    // The rectangle's outline, width pixels wide, inside its edge.
    void StrokeRoundRect(double x, double y, double w, double h, double radius, double width,
                         const Rgb& color, double alpha = 1);
    // A straight stroke with round caps.
    void Line(double x0, double y0, double x1, double y1, double width, const Rgb& color,
              double alpha = 1);
    void Disc(double cx, double cy, double radius, const Rgb& color, double alpha = 1);

private:
    void Blend(int x, int y, const Rgb& color, double alpha);

    gfx::Surface& m_target;
};

}  // namespace vesk::theme
