#include "SkinSource.h"

std::wstring SkinSource::ThemePath(std::wstring_view name) const {
    return programFolder + std::wstring(name);
}

namespace {

SkinSource& Slot() {
    static SkinSource source;
    return source;
}

}  // namespace

void SetSkinSource(SkinSource source) {
    Slot() = std::move(source);
}

const SkinSource& TheSkinSource() {
    return Slot();
}
