#pragma once
// Digests of whole files and of byte strings, as the manifest records them for its packages.
// Safe from any thread.

#include <optional>
#include <string>
#include <string_view>

namespace vesk::digest {

// The MD5 digest of the file's content in lowercase hexadecimal; nullopt when the file
// cannot be read to its end. The file is read in pieces, never held whole.
std::optional<std::string> FileMd5Hex(std::wstring_view path);
// The same with SHA-256.
std::optional<std::string> FileSha256Hex(std::wstring_view path);
// The same over what an open descriptor holds, from its start to its end, read by position
// (the descriptor's own offset stays); nullopt on a read error.
std::optional<std::string> DescriptorMd5Hex(int fd);
std::optional<std::string> DescriptorSha256Hex(int fd);
// The SHA-256 digest of bytes in lowercase hexadecimal.
std::optional<std::string> Sha256Hex(std::string_view bytes);

}  // namespace vesk::digest
