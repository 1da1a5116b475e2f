#include "gfx/Font.h"

#include <fontconfig/fontconfig.h>

#include <atomic>
#include <cwctype>
#include <mutex>

#include "text/Utf.h"

namespace vesk::gfx {

namespace {

constexpr const char* kTahomaFiles[] = {"/usr/share/wine/fonts/tahoma.ttf",
                                        "/usr/share/wine/fonts/tahomabd.ttf"};
constexpr const char* kFallbackFace = "DejaVu Sans";
// Tahoma's stand-in: the condensed cut keeps its narrow widths, so captions sized for Tahoma
// still fit their buttons.
constexpr const char* kTahomaStandIn = "DejaVu Sans Condensed";
std::atomic<bool> g_standInForced{false};
// Cell height over character height of the faces we ship with; a positive height names the
// cell, and Pango sizes by the character.
constexpr double kCellToCharacter = 0.83;

bool IsTahoma(const std::wstring& face) {
    static const std::wstring tahoma = L"tahoma";
    if (face.size() != tahoma.size()) return false;
    for (std::size_t i = 0; i < face.size(); ++i)
        if (std::towlower(static_cast<wint_t>(face[i])) != static_cast<wint_t>(tahoma[i]))
            return false;
    return true;
}

// Tahoma lives outside the folders fontconfig scans, so it is added to the process's font set
// once, before the first text is laid out.
bool TahomaRegistered() {
    static std::once_flag once;
    static bool registered = false;
    std::call_once(once, [] {
        FcInit();
        for (const char* file : kTahomaFiles)
            if (FcConfigAppFontAddFile(nullptr, reinterpret_cast<const FcChar8*>(file)))
                registered = true;
    });
    return registered;
}

}  // namespace

std::string ResolvedFace(const std::wstring& face) {
    if (IsTahoma(face))
        return TahomaRegistered() && !g_standInForced.load() ? "Tahoma" : kTahomaStandIn;
    TahomaRegistered();
    return face.empty() ? kFallbackFace : text::WideToUtf8(face);
}

void UseTahomaStandInForTesting(bool forced) {
    g_standInForced.store(forced);
}

double PixelSizeOf(const FontSpec& font) {
    if (font.height < 0) return -font.height;
    if (font.height == 0) return 11;
    return font.height * kCellToCharacter;
}

}  // namespace vesk::gfx
