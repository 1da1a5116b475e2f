#pragma once
// Draws a button's caption centred in its client rectangle, in Tahoma at the window font's size,
// weight and slant, in a colour stored as 0x00RRGGBB. UI thread.

#include <string>

#include "gfx/Canvas.h"
#include "ui/Window.h"

void DrawCenteredCaption(vesk::ui::Window& window, vesk::gfx::Canvas& dc,
                         const std::wstring& caption, std::uint32_t rgb);
