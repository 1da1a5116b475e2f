// Text drawing of the canvas, through Pango.
#include <cairo.h>
#include <pango/pangocairo.h>

#include <cmath>
#include <memory>

#include "gfx/Canvas.h"
#include "text/Utf.h"

namespace vesk::gfx {

namespace {

struct LayoutDeleter {
    void operator()(PangoLayout* layout) const { g_object_unref(layout); }
};
using LayoutPtr = std::unique_ptr<PangoLayout, LayoutDeleter>;

LayoutPtr MakeLayout(cairo_t* cr, std::wstring_view text, const FontSpec& font, int width,
                     PangoAlignment align) {
    LayoutPtr layout(pango_cairo_create_layout(cr));
    PangoFontDescription* description = pango_font_description_new();
    pango_font_description_set_family(description, ResolvedFace(font.face).c_str());
    pango_font_description_set_absolute_size(description, PixelSizeOf(font) * PANGO_SCALE);
    pango_font_description_set_weight(
        description, static_cast<PangoWeight>(font.weight > 0 ? font.weight : 400));
    pango_font_description_set_style(description,
                                     font.italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    pango_layout_set_font_description(layout.get(), description);
    pango_font_description_free(description);
    if (width > 0) {
        pango_layout_set_width(layout.get(), width * PANGO_SCALE);
        pango_layout_set_wrap(layout.get(), PANGO_WRAP_WORD_CHAR);
    }
    pango_layout_set_alignment(layout.get(), align);
    const std::string utf8 = text::WideToUtf8(text);
    pango_layout_set_text(layout.get(), utf8.data(), static_cast<int>(utf8.size()));
    return layout;
}

void Show(cairo_t* cr, PangoLayout* layout, const Rect& clip, double x, double y, Argb color) {
    cairo_save(cr);
    cairo_rectangle(cr, clip.left, clip.top, clip.Width(), clip.Height());
    cairo_clip(cr);
    cairo_set_source_rgba(cr, ArgbRed(color) / 255.0, ArgbGreen(color) / 255.0,
                          ArgbBlue(color) / 255.0, ArgbAlpha(color) / 255.0);
    cairo_move_to(cr, x, y);
    pango_cairo_show_layout(cr, layout);
    cairo_restore(cr);
}

}  // namespace

void Canvas::DrawTextCentered(std::wstring_view text, const FontSpec& font, const Rect& layout,
                              Argb color) {
    if (text.empty() || layout.IsEmpty()) return;
    LayoutPtr l = MakeLayout(m_cr, text, font, layout.Width(), PANGO_ALIGN_CENTER);
    int width = 0, height = 0;
    pango_layout_get_pixel_size(l.get(), &width, &height);
    const double top = layout.top + std::floor((layout.Height() - height) / 2.0);
    Show(m_cr, l.get(), layout, layout.left, top, color);
}

void Canvas::DrawStaticText(std::wstring_view text, const FontSpec& font, const Rect& rect,
                            TextAlign align, Argb color) {
    if (text.empty() || rect.IsEmpty()) return;
    LayoutPtr l = MakeLayout(m_cr, text, font, rect.Width(),
                             align == TextAlign::Center ? PANGO_ALIGN_CENTER : PANGO_ALIGN_LEFT);
    Show(m_cr, l.get(), rect, rect.left, rect.top, color);
}

Size Canvas::MeasureText(std::wstring_view text, const FontSpec& font, int maxWidth) {
    Surface scratch(1, 1);
    cairo_t* cr = cairo_create(scratch.Handle());
    LayoutPtr l = MakeLayout(cr, text, font, maxWidth, PANGO_ALIGN_LEFT);
    int width = 0, height = 0;
    pango_layout_get_pixel_size(l.get(), &width, &height);
    l.reset();
    cairo_destroy(cr);
    return {width, height};
}

}  // namespace vesk::gfx
