#pragma once
// Copying a text into a caller's fixed wide-character array.

#include <algorithm>
#include <cstddef>
#include <string_view>

namespace vesk::tsp {

// Copies at most capacity - 1 characters and terminates them; nothing for a null array.
inline void CopyCut(wchar_t* array, std::size_t capacity, std::wstring_view text) {
    if (!array || capacity == 0) return;
    const std::size_t length = std::min(text.size(), capacity - 1);
    std::copy_n(text.data(), length, array);
    array[length] = L'\0';
}

template <std::size_t N>
void CopyCut(wchar_t (&array)[N], std::wstring_view text) {
    CopyCut(array, N, text);
}

}  // namespace vesk::tsp
