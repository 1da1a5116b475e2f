// Turns the readable string table (UTF-8, one line per key, LF or CR LF) into the file the
// updater and the client read: UTF-16LE with a byte-order mark and CR LF line ends.
//   make_string_table SOURCE.csv OUTPUT.dat

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "text/Utf.h"

namespace {

std::u16string ToTableUnits(const std::wstring& source) {
    std::wstring text;
    text.reserve(source.size() + source.size() / 16);
    text.push_back(L'\xFEFF');
    for (wchar_t c : source) {
        if (c == L'\r') continue;
        if (c == L'\n') text.push_back(L'\r');
        text.push_back(c);
    }
    // The reader ignores what follows the last line feed, so the last line must have one.
    if (text.back() != L'\n') text += L"\r\n";
    return vesk::text::WideToUtf16(text);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SOURCE.csv OUTPUT.dat\n", argv[0]);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto source = vesk::text::Utf8ToWideStrict(bytes);
    if (!in.good() && !in.eof()) {
        std::fprintf(stderr, "%s: cannot read\n", argv[1]);
        return 1;
    }
    if (!source) {
        std::fprintf(stderr, "%s: not valid UTF-8\n", argv[1]);
        return 1;
    }
    const std::string out = vesk::text::UnitsToUtf16LeBytes(ToTableUnits(*source));
    std::ofstream file(argv[2], std::ios::binary | std::ios::trunc);
    file.write(out.data(), static_cast<std::streamsize>(out.size()));
    return file.good() ? 0 : 1;
}
