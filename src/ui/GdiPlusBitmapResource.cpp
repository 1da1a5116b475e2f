#include "GdiPlusBitmapResource.h"

#include "fs/Paths.h"

void CGdiPlusBitmapResource::Empty() {
    CGdiPlusBitmap::Empty();
    m_hBuffer.clear();
    m_hBuffer.shrink_to_fit();
}

bool CGdiPlusBitmapResource::Load(const std::wstring& path) {
    Empty();
    // The path once went through a fixed buffer; a longer one fails like an unreadable file
    // instead of overrunning it.
    if (path.size() >= kMaxPath) {
        m_pBitmap = std::make_unique<vesk::gfx::Bitmap>();
        return false;
    }
    m_pBitmap = std::make_unique<vesk::gfx::Bitmap>(
        vesk::gfx::Bitmap::FromFile(vesk::fs::NativePath(path)));
    return !m_pBitmap->IsEmpty();
}

bool CGdiPlusBitmapResource::LoadFromResource(const vesk::ui::ResourceName& name,
                                              std::wstring_view type,
                                              const vesk::ui::ResourceModule* module) {
    Empty();
    const auto bytes = vesk::ui::FindResource(module, name, type);
    if (!bytes || bytes->empty()) return false;
    m_hBuffer.assign(bytes->begin(), bytes->end());
    auto bitmap = std::make_unique<vesk::gfx::Bitmap>(vesk::gfx::Bitmap::FromMemory(m_hBuffer));
    if (bitmap->IsEmpty()) {
        Empty();
        return false;
    }
    m_pBitmap = std::move(bitmap);
    return true;
}
