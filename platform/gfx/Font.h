#pragma once
// Fonts described as the Windows model describes them: face, height (negative: character height
// in pixels; positive: cell height), weight (400 normal, 700 bold) and italic. "Tahoma" comes
// from the fonts-wine package; when it is missing a fallback face stands in. Any thread.

#include <string>

namespace vesk::gfx {

struct FontSpec {
    std::wstring face = L"Tahoma";
    int height = -11;
    int weight = 400;
    bool italic = false;
    friend bool operator==(const FontSpec&, const FontSpec&) = default;
};

// The face text is really drawn with: the asked face, or the fallback for a missing Tahoma.
std::string ResolvedFace(const std::wstring& face);
// Draws Tahoma with its stand-in even where Tahoma is installed, as a machine without it would.
void UseTahomaStandInForTesting(bool forced);
// The em size in pixels that a height asks for.
double PixelSizeOf(const FontSpec& font);

}  // namespace vesk::gfx
