#pragma once
// The two colour matrices that give the skinned buttons their highlighted and greyed looks.

#include "gfx/ColorMatrix.h"

// Each colour channel scaled by 1.05 and raised by 0.05 of full scale; alpha unchanged.
extern const vesk::gfx::ColorMatrix HotMatrix;
// Every colour channel becomes 0.3 R + 0.59 G + 0.11 B; alpha unchanged.
extern const vesk::gfx::ColorMatrix GrayMatrix;
