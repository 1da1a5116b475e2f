#pragma once
// Holder of an image loaded from a file or from a program resource; a resource's bytes are kept
// for as long as the image. UI thread.

#include <cstdint>
#include <string>
#include <vector>

#include "GdiPlusBitmap.h"
#include "ui/Resources.h"

class CGdiPlusBitmapResource : public CGdiPlusBitmap {
public:
    static constexpr std::size_t kMaxPath = 260;

    ~CGdiPlusBitmapResource() override { Empty(); }

    void Empty() override;
    // True when the file gave an image. On failure the holder keeps an image object without
    // pixels (0 x 0, draws nothing). A path of kMaxPath characters or more is refused so.
    bool Load(const std::wstring& path);
    // True when the resource gave an image; on failure the holder is empty.
    bool LoadFromResource(const vesk::ui::ResourceName& name, std::wstring_view type,
                          const vesk::ui::ResourceModule* module = nullptr);

private:
    std::vector<std::uint8_t> m_hBuffer;
};
