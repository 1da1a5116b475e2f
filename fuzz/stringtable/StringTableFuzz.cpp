// Any bytes as a string table, in every language column: loads what it can, never crashes.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "StringTable.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // The first byte picks the column, -1 to 3.
    const int column = data[0] % 5 - 1;
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    CStringTable table;
    table.Parse(bytes, column);
    (void)table.GetString(L"IDS_POPDLG_ERROR_TITLE");
    return 0;
}
