#include "gfx/Canvas.h"

#include <cairo.h>

namespace vesk::gfx {

namespace {

void SetSource(cairo_t* cr, Argb color) {
    cairo_set_source_rgba(cr, ArgbRed(color) / 255.0, ArgbGreen(color) / 255.0,
                          ArgbBlue(color) / 255.0, ArgbAlpha(color) / 255.0);
}

void RectPath(cairo_t* cr, const Rect& r) {
    cairo_rectangle(cr, r.left, r.top, r.Width(), r.Height());
}

}  // namespace

Canvas::Canvas(Surface& target)
    : Canvas(target, {0, 0}, Rect{0, 0, target.Width(), target.Height()}) {}

Canvas::Canvas(Surface& target, Point deviceOffset, const Rect& deviceClip)
    : m_target(&target), m_offset(deviceOffset) {
    static Surface placeholder(1, 1);
    cairo_surface_t* s = target.IsEmpty() ? placeholder.Handle() : target.Handle();
    m_clip = deviceClip.Intersect({0, 0, target.Width(), target.Height()});
    m_cr = cairo_create(s);
    RectPath(m_cr, m_clip);
    cairo_clip(m_cr);
    ApplyMatrix();
}

Canvas::~Canvas() {
    cairo_destroy(m_cr);
}

void Canvas::ApplyMatrix() {
    cairo_identity_matrix(m_cr);
    cairo_translate(m_cr, m_offset.x - m_origin.x, m_offset.y - m_origin.y);
}

void Canvas::SetOrigin(Point origin) {
    m_origin = origin;
    ApplyMatrix();
}

Point Canvas::DeviceOf(Point logical) const {
    return {logical.x - m_origin.x + m_offset.x, logical.y - m_origin.y + m_offset.y};
}

Rect Canvas::ClipBox() const {
    return m_clip.Offset(m_origin.x - m_offset.x, m_origin.y - m_offset.y);
}

Argb Canvas::Pixel(Point p) const {
    const Point d = DeviceOf(p);
    return m_clip.Contains(d) ? m_target->Pixel(d.x, d.y) : 0;
}

void Canvas::FillRect(const Rect& rect, Argb color) {
    if (rect.IsEmpty()) return;
    cairo_save(m_cr);
    cairo_set_operator(m_cr, ArgbAlpha(color) == 255 ? CAIRO_OPERATOR_SOURCE : CAIRO_OPERATOR_OVER);
    SetSource(m_cr, color);
    RectPath(m_cr, rect);
    cairo_fill(m_cr);
    cairo_restore(m_cr);
}

void Canvas::DrawImage(const Bitmap& image, Point at) {
    DrawImagePart(image, {0, 0, image.Width(), image.Height()}, at);
}

void Canvas::DrawImage(const Bitmap& image, const Rect& into) {
    if (image.IsEmpty() || into.IsEmpty()) return;
    cairo_save(m_cr);
    RectPath(m_cr, into);
    cairo_clip(m_cr);
    cairo_translate(m_cr, into.left, into.top);
    cairo_scale(m_cr, static_cast<double>(into.Width()) / image.Width(),
                static_cast<double>(into.Height()) / image.Height());
    cairo_set_source_surface(m_cr, image.Pixels().Handle(), 0, 0);
    // Pad, so a stretched image's edges do not fade into transparent pixels beyond it.
    cairo_pattern_set_extend(cairo_get_source(m_cr), CAIRO_EXTEND_PAD);
    cairo_pattern_set_filter(cairo_get_source(m_cr), CAIRO_FILTER_BILINEAR);
    cairo_paint(m_cr);
    cairo_restore(m_cr);
}

void Canvas::DrawImagePart(const Bitmap& image, const Rect& source, Point at) {
    const Rect src = source.Intersect({0, 0, image.Width(), image.Height()});
    if (image.IsEmpty() || src.IsEmpty()) return;
    cairo_save(m_cr);
    cairo_rectangle(m_cr, at.x + (src.left - source.left), at.y + (src.top - source.top),
                    src.Width(), src.Height());
    cairo_clip(m_cr);
    cairo_set_source_surface(m_cr, image.Pixels().Handle(), at.x - source.left, at.y - source.top);
    cairo_paint(m_cr);
    cairo_restore(m_cr);
}

void Canvas::DrawImageWithMatrix(const Bitmap& image, const Rect& into, const ColorMatrix& matrix) {
    DrawImage(ApplyColorMatrix(image, matrix), into);
}

void Canvas::Copy(const Rect& into, const Canvas& source, Point sourceAt) {
    if (into.IsEmpty() || source.m_target->IsEmpty()) return;
    const Point from = source.DeviceOf(sourceAt);
    // Source and target may be one surface; copy the pixels out first so they do not overlap.
    Surface snapshot(into.Width(), into.Height());
    {
        cairo_t* cr = cairo_create(snapshot.Handle());
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_set_source_surface(cr, source.m_target->Handle(), -from.x, -from.y);
        cairo_paint(cr);
        cairo_destroy(cr);
    }
    cairo_save(m_cr);
    cairo_set_operator(m_cr, CAIRO_OPERATOR_SOURCE);
    RectPath(m_cr, into);
    cairo_clip(m_cr);
    cairo_set_source_surface(m_cr, snapshot.Handle(), into.left, into.top);
    cairo_paint(m_cr);
    cairo_restore(m_cr);
}

}  // namespace vesk::gfx
