#include "DrawCenteredCaption.h"

namespace {

// Free columns on each side of a caption, so its first and last strokes stay inside.
constexpr int kCaptionMargin = 2;
// Below this character height a caption is no longer legible; it keeps this size.
constexpr double kSmallestCaption = 7;

// One pixel less of character height (a cell height shrinks by a pixel too).
vesk::gfx::FontSpec OnePixelSmaller(vesk::gfx::FontSpec font) {
    if (font.height == 0) font.height = -static_cast<int>(vesk::gfx::PixelSizeOf(font));
    font.height += font.height < 0 ? 1 : -1;
    return font;
}

}  // namespace

vesk::gfx::FontSpec CaptionFontFitting(const std::wstring& caption, vesk::gfx::FontSpec font,
                                       int width) {
    const int room = width - 2 * kCaptionMargin;
    while (vesk::gfx::PixelSizeOf(font) > kSmallestCaption &&
           vesk::gfx::Canvas::MeasureText(caption, font, 0).cx > room)
        font = OnePixelSmaller(font);
    return font;
}

void DrawCenteredCaption(vesk::ui::Window& window, vesk::gfx::Canvas& dc,
                         const std::wstring& caption, std::uint32_t rgb) {
    vesk::gfx::FontSpec font = window.GetFont();
    font.face = L"Tahoma";
    const vesk::gfx::Rect client = window.GetClientRect();
    dc.DrawTextCentered(caption, CaptionFontFitting(caption, font, client.Width()), client,
                        vesk::gfx::ArgbFromRgbValue(rgb));
}
