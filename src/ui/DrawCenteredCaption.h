#pragma once
// Draws a button's caption centred in its client rectangle, in Tahoma at the window font's size,
// weight and slant, in a colour stored as 0x00RRGGBB; a caption too wide for the button at that
// size is drawn as much smaller as it needs, never clipped. UI thread.

#include <string>

#include "gfx/Canvas.h"
#include "ui/Window.h"

void DrawCenteredCaption(vesk::ui::Window& window, vesk::gfx::Canvas& dc,
                         const std::wstring& caption, std::uint32_t rgb);

// The caption's font in a button of this width: the given font, a pixel smaller at a time
// while the caption would not fit with a clear pixel on each side.
vesk::gfx::FontSpec CaptionFontFitting(const std::wstring& caption, vesk::gfx::FontSpec font,
                                       int width);
