#pragma once
// Decimal number reading as the Windows C run-time's _wtoi does it: optional leading
// blanks, an optional sign, then digits up to the first other character; no digits give 0.
// Out-of-range values are clamped instead of overflowing.

#include <string_view>

namespace vesk::text {

int ParseDecimalInt(std::wstring_view text);

// A number as the "C" locale writes one ("0.250000"), whatever locale the process is in:
// optional leading blanks, then the longest number there is (sign, digits, a point,
// exponent); none gives 0.
double ParseClassicDouble(std::wstring_view text);

// True when the text is, in whole, an optional sign followed by at least one digit.
bool IsDecimalInt(std::wstring_view text);

}  // namespace vesk::text
