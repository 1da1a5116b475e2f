#pragma once
// Ed25519 keys and signatures, as a publisher signs its version manifest and an installation
// checks it. Keys and signatures travel as hexadecimal text: a public key or a private key's
// seed as 64 digits, a signature as 128. Nothing here throws; safe from any thread.

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace vesk::digest {

struct Ed25519PublicKey {
    std::array<unsigned char, 32> bytes{};
};

// The 32-byte seed every other part of the private key derives from.
struct Ed25519PrivateKey {
    std::array<unsigned char, 32> seed{};
};

struct Ed25519Signature {
    std::array<unsigned char, 64> bytes{};
};

// Each takes exactly the digits of its kind, blanks and line ends around them ignored, and
// refuses anything else.
std::optional<Ed25519PublicKey> ParsePublicKey(std::string_view text);
std::optional<Ed25519PrivateKey> ParsePrivateKey(std::string_view text);
std::optional<Ed25519Signature> ParseSignature(std::string_view text);

// Lowercase hexadecimal, no line end.
std::string ToText(const Ed25519PublicKey& key);
std::string ToText(const Ed25519PrivateKey& key);
std::string ToText(const Ed25519Signature& signature);

// True only when signature is key's over exactly these message bytes.
bool Verify(const Ed25519PublicKey& key, std::string_view message,
            const Ed25519Signature& signature);
// The same for a key and a signature as their texts; false when either text is malformed.
bool Verify(std::string_view keyText, std::string_view message, std::string_view signatureText);

// A fresh key from the system's random source; nullopt when none could be made.
std::optional<Ed25519PrivateKey> GenerateKey();
std::optional<Ed25519PublicKey> PublicKeyOf(const Ed25519PrivateKey& key);
std::optional<Ed25519Signature> Sign(const Ed25519PrivateKey& key, std::string_view message);

}  // namespace vesk::digest
