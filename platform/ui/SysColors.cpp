#include "ui/SysColors.h"

namespace vesk::ui {

namespace {

struct SysColor {
    int index;
    gfx::ColorRef color;
};

constexpr SysColor kSysColors[] = {
    {COLOR_WINDOW, 0xFFFFFF},        {COLOR_WINDOWTEXT, 0x000000}, {COLOR_HIGHLIGHT, 0xD77800},
    {COLOR_HIGHLIGHTTEXT, 0xFFFFFF}, {COLOR_BTNFACE, 0xF0F0F0},    {COLOR_BTNSHADOW, 0xA0A0A0},
    {COLOR_GRAYTEXT, 0x6D6D6D},      {COLOR_BTNTEXT, 0x000000},    {COLOR_BTNHIGHLIGHT, 0xFFFFFF},
    {COLOR_3DDKSHADOW, 0x696969},    {COLOR_3DLIGHT, 0xE3E3E3},    {COLOR_INFOTEXT, 0x000000},
    {COLOR_INFOBK, 0xE1FFFF},        {COLOR_MENU, 0xF0F0F0},
};

}  // namespace

gfx::ColorRef GetSysColor(int index) {
    for (const SysColor& c : kSysColors)
        if (c.index == index) return c.color;
    return 0x000000;
}

}  // namespace vesk::ui
