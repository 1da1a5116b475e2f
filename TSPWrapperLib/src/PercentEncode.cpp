#include "PercentEncode.h"

#include "text/Utf.h"

namespace vesk::tsp {
namespace {

constexpr std::string_view kReserved = "\"<>%\\^[]`+$,@:;/!#?=&";

bool PassesUnchanged(unsigned char byte) {
    return byte >= 0x21 && byte <= 0x7A &&
           kReserved.find(static_cast<char>(byte)) == kReserved.npos;
}

}  // namespace

std::wstring PercentEncode(std::wstring_view value) {
    static constexpr char kHex[] = "0123456789abcdef";
    const auto utf8 = text::WideToUtf8Strict(value);
    if (!utf8) return {};
    std::wstring out;
    out.reserve(utf8->size() * 3);
    for (const char c : *utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (PassesUnchanged(byte)) {
            out += static_cast<wchar_t>(byte);
        } else {
            out += L'%';
            out += static_cast<wchar_t>(kHex[byte >> 4]);
            out += static_cast<wchar_t>(kHex[byte & 0x0F]);
        }
    }
    return out;
}

}  // namespace vesk::tsp
