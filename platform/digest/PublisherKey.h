#pragma once
// The publisher's key an installation carries: "update_key.pub" in a folder, the Ed25519
// public key as 64 hexadecimal digits. Anything at that place binds the installation, a
// dangling link or an unreadable file too; only a key file that surely is not there leaves
// it unbound. Safe from any thread.

#include <optional>
#include <string>
#include <string_view>

#include "digest/Ed25519.h"

namespace vesk::digest {

inline constexpr wchar_t kPublisherKeyFile[] = L"update_key.pub";
// Far more than 64 digits and a line end: anything larger is no key.
inline constexpr std::size_t kMaxKeyFileBytes = 1024;

struct PublisherKey {
    bool present = false;                 // something is at the key file's place
    std::optional<Ed25519PublicKey> key;  // what it holds, when it is a valid key
};

// The key file in folder (a path ending with "/").
PublisherKey ReadPublisherKey(std::wstring_view folder);

}  // namespace vesk::digest
