#pragma once
// Compares a surface with a committed golden PNG, allowing small differences from font
// rendering. With VESK_UPDATE_GOLDEN=1 the golden is written from the surface instead.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <string>

#include "gfx/Bitmap.h"

namespace vesk::test {

inline ::testing::AssertionResult MatchesGolden(const gfx::Surface& actual,
                                                const std::string& name) {
    const std::string path = std::string(VESK_GOLDEN_DIR) + "/" + name;
    if (const char* update = getenv("VESK_UPDATE_GOLDEN"); update && std::string(update) == "1") {
        if (!actual.SavePng(path)) return ::testing::AssertionFailure() << "cannot write " << path;
        return ::testing::AssertionSuccess() << "rewrote " << path;
    }
    const gfx::Bitmap golden = gfx::Bitmap::FromFile(path);
    if (golden.Width() != actual.Width() || golden.Height() != actual.Height())
        return ::testing::AssertionFailure() << name << ": size differs or golden missing";
    constexpr int kChannelTolerance = 24;
    int differing = 0;
    for (int y = 0; y < actual.Height(); ++y)
        for (int x = 0; x < actual.Width(); ++x) {
            const gfx::Argb a = actual.Pixel(x, y), g = golden.Pixel(x, y);
            for (int shift = 0; shift < 32; shift += 8)
                if (std::abs(static_cast<int>((a >> shift) & 0xFF) -
                             static_cast<int>((g >> shift) & 0xFF)) > kChannelTolerance) {
                    ++differing;
                    break;
                }
        }
    const int allowed = actual.Width() * actual.Height() / 200;  // 0.5 %
    if (differing > allowed)
        return ::testing::AssertionFailure() << name << ": " << differing << " pixels differ";
    return ::testing::AssertionSuccess();
}

}  // namespace vesk::test
