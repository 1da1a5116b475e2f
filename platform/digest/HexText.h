#pragma once
// Bytes as hexadecimal text and back, the form keys, signatures and digests take in the
// files the updater and the packager exchange. Safe from any thread.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vesk::digest {

// Lowercase hexadecimal, two digits per byte.
std::string ToHex(const unsigned char* bytes, std::size_t size);

// The bytes of text holding exactly byteCount * 2 hexadecimal digits (either case), with
// blanks and line ends around them ignored; nullopt for anything else.
std::optional<std::vector<unsigned char>> ParseHex(std::string_view text, std::size_t byteCount);

}  // namespace vesk::digest
