#pragma once
// The window messages, codes and small types of the window system, numbered as in the Windows
// model the updater is written against. Plain values, any thread.

#include <cstdint>

#include "gfx/Geometry.h"

namespace vesk::ui {

using Hwnd = std::uint32_t;  // 0: no window
using UINT = unsigned;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

struct Message {
    Hwnd hwnd = 0;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

inline constexpr UINT WM_DESTROY = 0x0002;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_QUIT = 0x0012;
inline constexpr UINT WM_KEYDOWN = 0x0100;
inline constexpr UINT WM_COMMAND = 0x0111;
inline constexpr UINT WM_TIMER = 0x0113;
inline constexpr UINT WM_MOUSEMOVE = 0x0200;
inline constexpr UINT WM_LBUTTONDOWN = 0x0201;
inline constexpr UINT WM_LBUTTONUP = 0x0202;
inline constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
inline constexpr UINT WM_CAPTURECHANGED = 0x0215;
inline constexpr UINT WM_MOUSEHOVER = 0x02A1;
inline constexpr UINT WM_MOUSELEAVE = 0x02A3;
inline constexpr UINT WM_USER = 0x0400;
inline constexpr UINT WM_APP = 0x8000;

inline constexpr int VK_RETURN = 0x0D;
inline constexpr int VK_ESCAPE = 0x1B;

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

inline constexpr int BN_CLICKED = 0;

// Answers of the hit test.
inline constexpr int HTTRANSPARENT = -1;
inline constexpr int HTNOWHERE = 0;
inline constexpr int HTCLIENT = 1;
inline constexpr int HTCAPTION = 2;

// Item states of an owner-drawn button.
inline constexpr UINT ODS_SELECTED = 0x0001;
inline constexpr UINT ODS_DISABLED = 0x0004;
inline constexpr UINT ODS_FOCUS = 0x0010;

enum class Cursor { Arrow, Hand };

// Mouse positions travel in lParam as two signed 16-bit halves, x low.
constexpr LPARAM MakePointParam(gfx::Point p) {
    return static_cast<LPARAM>((static_cast<std::uint32_t>(static_cast<std::uint16_t>(p.y)) << 16) |
                               static_cast<std::uint16_t>(p.x));
}
constexpr gfx::Point PointFromParam(LPARAM l) {
    return {static_cast<std::int16_t>(l & 0xFFFF), static_cast<std::int16_t>((l >> 16) & 0xFFFF)};
}
constexpr WPARAM MakeCommandParam(int id, int code) {
    return (static_cast<WPARAM>(static_cast<std::uint16_t>(code)) << 16) |
           static_cast<std::uint16_t>(id);
}

}  // namespace vesk::ui
