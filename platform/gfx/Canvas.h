#pragma once
// A drawing context over a surface: the stand-in for a device context with its GDI and GDI+
// drawing calls. It covers the whole surface or a clipped part of it (a child window's area),
// and its origin can move so that drawing uses another window's coordinates. One thread at a
// time.

#include <string_view>

#include "gfx/Bitmap.h"
#include "gfx/ColorMatrix.h"
#include "gfx/Font.h"
#include "gfx/Geometry.h"
#include "gfx/Surface.h"

typedef struct _cairo cairo_t;

namespace vesk::gfx {

enum class TextAlign { Left, Center };

class Canvas {
public:
    explicit Canvas(Surface& target);
    // Logical (0, 0) lands on deviceOffset; nothing outside deviceClip (device pixels) changes.
    Canvas(Surface& target, Point deviceOffset, const Rect& deviceClip);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    Surface& Target() const { return *m_target; }
    // The logical point that lands on deviceOffset (the window origin); (0, 0) at first.
    void SetOrigin(Point origin);
    Point Origin() const { return m_origin; }
    // The drawable area in logical coordinates.
    Rect ClipBox() const;
    // The pixel at a logical point, straight ARGB.
    Argb Pixel(Point p) const;

    void FillRect(const Rect& rect, Argb color);
    void DrawImage(const Bitmap& image, Point at);
    void DrawImage(const Bitmap& image, const Rect& into);
    void DrawImagePart(const Bitmap& image, const Rect& source, Point at);
    // The whole image through the matrix, scaled into the rectangle.
    void DrawImageWithMatrix(const Bitmap& image, const Rect& into, const ColorMatrix& matrix);
    // Replaces the pixels of the rectangle with those of the source at sourceAt (no blending).
    void Copy(const Rect& into, const Canvas& source, Point sourceAt);

    // Word-wrapped at the rectangle's width, centred both ways, clipped to the rectangle.
    void DrawTextCentered(std::wstring_view text, const FontSpec& font, const Rect& layout,
                          Argb color);
    // Static-control text: from the top, left or centred, word-wrapped at the width, clipped.
    void DrawStaticText(std::wstring_view text, const FontSpec& font, const Rect& rect,
                        TextAlign align, Argb color);
    // The size the text takes when wrapped at maxWidth (no wrap when maxWidth <= 0).
    static Size MeasureText(std::wstring_view text, const FontSpec& font, int maxWidth);

private:
    void ApplyMatrix();
    Point DeviceOf(Point logical) const;

    Surface* m_target;
    cairo_t* m_cr;
    Point m_offset;
    Rect m_clip;
    Point m_origin;
};

}  // namespace vesk::gfx
