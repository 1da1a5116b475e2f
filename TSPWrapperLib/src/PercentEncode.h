#pragma once
// Percent-encoding of the values the library puts into a request URL (package address and
// destination folder). Safe from any thread.

#include <string>
#include <string_view>

namespace vesk::tsp {

// UTF-8 bytes from 0x21 to 0x7A pass unchanged unless reserved; every other byte becomes
// "%" and two lower-case hex digits. A value that is not valid Unicode gives an empty text.
std::wstring PercentEncode(std::wstring_view value);

}  // namespace vesk::tsp
