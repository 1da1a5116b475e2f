#include "digest/Ed25519.h"

#include <openssl/evp.h>

#include <memory>

#include "digest/HexText.h"

namespace vesk::digest {
namespace {

using KeyHandle = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using SignContext = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;
using KeyContext = std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)>;

template <std::size_t N>
std::optional<std::array<unsigned char, N>> ParseArray(std::string_view text) {
    const auto bytes = ParseHex(text, N);
    if (!bytes) return std::nullopt;
    std::array<unsigned char, N> out{};
    std::copy(bytes->begin(), bytes->end(), out.begin());
    return out;
}

KeyHandle PrivateHandle(const Ed25519PrivateKey& key) {
    return {
        EVP_PKEY_new_raw_private_key(EVP_PKEY_ED25519, nullptr, key.seed.data(), key.seed.size()),
        &EVP_PKEY_free};
}

const unsigned char* Bytes(std::string_view text) {
    return reinterpret_cast<const unsigned char*>(text.data());
}

}  // namespace

std::optional<Ed25519PublicKey> ParsePublicKey(std::string_view text) {
    const auto bytes = ParseArray<32>(text);
    if (!bytes) return std::nullopt;
    return Ed25519PublicKey{*bytes};
}

std::optional<Ed25519PrivateKey> ParsePrivateKey(std::string_view text) {
    const auto bytes = ParseArray<32>(text);
    if (!bytes) return std::nullopt;
    return Ed25519PrivateKey{*bytes};
}

std::optional<Ed25519Signature> ParseSignature(std::string_view text) {
    const auto bytes = ParseArray<64>(text);
    if (!bytes) return std::nullopt;
    return Ed25519Signature{*bytes};
}

std::string ToText(const Ed25519PublicKey& key) {
    return ToHex(key.bytes.data(), key.bytes.size());
}

std::string ToText(const Ed25519PrivateKey& key) {
    return ToHex(key.seed.data(), key.seed.size());
}

std::string ToText(const Ed25519Signature& signature) {
    return ToHex(signature.bytes.data(), signature.bytes.size());
}

bool Verify(const Ed25519PublicKey& key, std::string_view message,
            const Ed25519Signature& signature) {
    KeyHandle handle(
        EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, key.bytes.data(), key.bytes.size()),
        &EVP_PKEY_free);
    SignContext context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    if (!handle || !context) return false;
    // Ed25519 hashes internally, so no digest is named.
    if (EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, handle.get()) != 1)
        return false;
    return EVP_DigestVerify(context.get(), signature.bytes.data(), signature.bytes.size(),
                            Bytes(message), message.size()) == 1;
}

bool Verify(std::string_view keyText, std::string_view message, std::string_view signatureText) {
    const auto key = ParsePublicKey(keyText);
    const auto signature = ParseSignature(signatureText);
    return key && signature && Verify(*key, message, *signature);
}

std::optional<Ed25519PrivateKey> GenerateKey() {
    KeyContext context(EVP_PKEY_CTX_new_id(EVP_PKEY_ED25519, nullptr), &EVP_PKEY_CTX_free);
    if (!context || EVP_PKEY_keygen_init(context.get()) != 1) return std::nullopt;
    EVP_PKEY* raw = nullptr;
    if (EVP_PKEY_keygen(context.get(), &raw) != 1) return std::nullopt;
    const KeyHandle handle(raw, &EVP_PKEY_free);
    Ed25519PrivateKey key;
    std::size_t size = key.seed.size();
    if (EVP_PKEY_get_raw_private_key(handle.get(), key.seed.data(), &size) != 1 ||
        size != key.seed.size()) {
        return std::nullopt;
    }
    return key;
}

std::optional<Ed25519PublicKey> PublicKeyOf(const Ed25519PrivateKey& key) {
    const KeyHandle handle = PrivateHandle(key);
    if (!handle) return std::nullopt;
    Ed25519PublicKey out;
    std::size_t size = out.bytes.size();
    if (EVP_PKEY_get_raw_public_key(handle.get(), out.bytes.data(), &size) != 1 ||
        size != out.bytes.size()) {
        return std::nullopt;
    }
    return out;
}

std::optional<Ed25519Signature> Sign(const Ed25519PrivateKey& key, std::string_view message) {
    const KeyHandle handle = PrivateHandle(key);
    SignContext context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    if (!handle || !context) return std::nullopt;
    if (EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, handle.get()) != 1)
        return std::nullopt;
    Ed25519Signature out;
    std::size_t size = out.bytes.size();
    if (EVP_DigestSign(context.get(), out.bytes.data(), &size, Bytes(message), message.size()) !=
            1 ||
        size != out.bytes.size()) {
        return std::nullopt;
    }
    return out;
}

}  // namespace vesk::digest
