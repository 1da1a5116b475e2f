#include "DrawCenteredCaption.h"

void DrawCenteredCaption(vesk::ui::Window& window, vesk::gfx::Canvas& dc,
                         const std::wstring& caption, std::uint32_t rgb) {
    vesk::gfx::FontSpec font = window.GetFont();
    font.face = L"Tahoma";
    dc.DrawTextCentered(caption, font, window.GetClientRect(), vesk::gfx::ArgbFromRgbValue(rgb));
}
