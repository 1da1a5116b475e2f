#include "InstallerSignature.h"

#include <gtest/gtest.h>

#include <string>

#include "digest/Ed25519.h"

namespace {

namespace digest = vesk::digest;
using vesk::tsp::InstallerRefusal;

digest::Ed25519PrivateKey NewKey() {
    return digest::GenerateKey().value_or(digest::Ed25519PrivateKey{});
}

std::string SignatureOf(const digest::Ed25519PrivateKey& key, const std::string& bytes) {
    return digest::ToText(digest::Sign(key, bytes).value_or(digest::Ed25519Signature{})) + "\n";
}

// Only the key's signature over the exact bytes lets the installer run; each refusal says
// why, for the library's log.
TEST(InstallerSignatureTest, OnlyTheKeysSignatureOverTheExactBytesPasses) {
    const digest::Ed25519PrivateKey publisher = NewKey();
    const digest::PublisherKey key{true, digest::PublicKeyOf(publisher)};
    const std::string installer =
        "\x7f"
        "ELF installer " +
        std::string(100, 'i');
    std::string changed = installer;
    changed.back() ^= 1;
    struct Row {
        const char* what;
        digest::PublisherKey key;
        std::string installer;
        std::string signature;
        const wchar_t* refusal;  // null: runs
    };
    const Row rows[] = {
        {"signed by the key", key, installer, SignatureOf(publisher, installer), nullptr},
        {"a changed byte", key, changed, SignatureOf(publisher, installer),
         L"the installer's signature does not match the key"},
        {"signed by another key", key, installer, SignatureOf(NewKey(), installer),
         L"the installer's signature does not match the key"},
        {"no signature", key, installer, "", L"the installer has no signature"},
        {"a malformed signature", key, installer, "abc\n",
         L"the installer's signature is malformed"},
        {"a signature behind a kilobyte of blanks", key, installer,
         std::string(1024, ' ') + SignatureOf(publisher, installer),
         L"the installer's signature is malformed"},
        {"a key file holding no key",
         {true, std::nullopt},
         installer,
         SignatureOf(publisher, installer),
         L"update_key.pub holds no valid key"},
    };
    for (const Row& row : rows) {
        const auto refusal = InstallerRefusal(row.installer, row.key, row.signature);
        if (row.refusal) {
            EXPECT_EQ(refusal, std::wstring(row.refusal)) << row.what;
        } else {
            EXPECT_EQ(refusal, std::nullopt) << row.what;
        }
    }
}

}  // namespace
