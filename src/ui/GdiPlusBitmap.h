#pragma once
// Holder of one decoded image, owned; empty when it holds none. UI thread.

#include <memory>

#include "gfx/Bitmap.h"

class CGdiPlusBitmap {
public:
    CGdiPlusBitmap() = default;
    virtual ~CGdiPlusBitmap() { Empty(); }
    CGdiPlusBitmap(const CGdiPlusBitmap&) = delete;
    CGdiPlusBitmap& operator=(const CGdiPlusBitmap&) = delete;

    virtual void Empty() { m_pBitmap.reset(); }
    operator vesk::gfx::Bitmap*() const { return m_pBitmap.get(); }

protected:
    std::unique_ptr<vesk::gfx::Bitmap> m_pBitmap;
};
