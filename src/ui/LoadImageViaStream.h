#pragma once
// Opens a theme image for a control: null when the file cannot be opened for reading;
// otherwise an image the caller owns, without pixels when the bytes do not decode. UI thread.

#include <memory>
#include <string>

#include "gfx/Bitmap.h"

std::unique_ptr<vesk::gfx::Bitmap> LoadImageViaStream(const std::wstring& path);
