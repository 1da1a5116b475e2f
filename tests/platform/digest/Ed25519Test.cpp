// Ed25519 signing and checking against a published test vector, and the refusals a signed
// manifest depends on: any changed byte, another key, and key or signature texts that are
// not exactly what they must be.

#include <gtest/gtest.h>

#include <string>

#include "digest/Ed25519.h"

namespace {

using namespace vesk::digest;

// Test vector 2 of the Ed25519 definition: a one-byte message.
const std::string kSeed = "4ccd089b28ff96da9db6c346ec114e0f5b8a319f35aba624da8cf6ed4fb8a6fb";
const std::string kPublic = "3d4017c3e843895a92b70aa74d1b7ebc9c982ccf2ec4968cc0cd55f12af4660c";
const std::string kMessage = "\x72";
const std::string kSignature =
    "92a009a9f0d4cab8720e820b5f642540a2b27b5416503f8fb3762223ebdb69da"
    "085ac1e43e15996e458f3613d0f11d8c387b2eaeb4302aeeb00d291612bb0c00";

std::string Flipped(std::string text, std::size_t at, char bit) {
    text[at] ^= bit;
    return text;
}

TEST(Ed25519, PublishedVectorSignsAndVerifies) {
    const auto seed = ParsePrivateKey(kSeed);
    ASSERT_TRUE(seed);
    const auto key = PublicKeyOf(*seed);
    ASSERT_TRUE(key);
    EXPECT_EQ(ToText(*key), kPublic);
    const auto signature = Sign(*seed, kMessage);
    ASSERT_TRUE(signature);
    EXPECT_EQ(ToText(*signature), kSignature);  // the scheme is deterministic
    EXPECT_TRUE(Verify(kPublic, kMessage, kSignature));
    EXPECT_EQ(ToText(*seed), kSeed);
}

TEST(Ed25519, AnyChangeIsRefused) {
    const std::string otherKey = ToText(*PublicKeyOf(*GenerateKey()));
    struct Case {
        const char* what;
        std::string key, message, signature;
    };
    const Case cases[] = {
        {"flipped message bit", kPublic, Flipped(kMessage, 0, 0x01), kSignature},
        {"message with a byte more", kPublic, kMessage + "\n", kSignature},
        {"empty message", kPublic, "", kSignature},
        {"flipped signature digit in R", kPublic, kMessage, Flipped(kSignature, 3, 0x01)},
        {"flipped signature digit in S", kPublic, kMessage, Flipped(kSignature, 100, 0x01)},
        {"another key", otherKey, kMessage, kSignature},
        {"flipped key digit", Flipped(kPublic, 10, 0x01), kMessage, kSignature},
        {"all-zero signature", kPublic, kMessage, std::string(128, '0')},
    };
    for (const Case& c : cases) EXPECT_FALSE(Verify(c.key, c.message, c.signature)) << c.what;
}

TEST(Ed25519, FreshKeysSignWhatTheyVerify) {
    const auto first = GenerateKey();
    const auto second = GenerateKey();
    ASSERT_TRUE(first && second);
    EXPECT_NE(ToText(*first), ToText(*second));
    const std::string manifest = "<?xml version=\"1.0\" ?>\n<root/>\n";
    const auto signature = Sign(*first, manifest);
    ASSERT_TRUE(signature);
    EXPECT_TRUE(Verify(*PublicKeyOf(*first), manifest, *signature));
    EXPECT_FALSE(Verify(*PublicKeyOf(*second), manifest, *signature));
    // What travels as text comes back as the same key.
    const auto reread = ParsePrivateKey(ToText(*first) + "\n");
    ASSERT_TRUE(reread);
    EXPECT_EQ(ToText(*Sign(*reread, manifest)), ToText(*signature));
}

TEST(Ed25519, TextsMustHoldExactlyTheirDigits) {
    struct Case {
        std::string text;
        bool key;        // accepted as a public or private key
        bool signature;  // accepted as a signature
    };
    const std::string upper = "3D4017C3E843895A92B70AA74D1B7EBC9C982CCF2EC4968CC0CD55F12AF4660C";
    const Case cases[] = {
        {kPublic, true, false},
        {" \t" + kPublic + "\r\n", true, false},
        {upper, true, false},
        {kPublic.substr(1), false, false},
        {kPublic + "0", false, false},
        {Flipped(kPublic, 5, 'g' ^ kPublic[5]), false, false},
        {kPublic.substr(0, 32) + " " + kPublic.substr(32), false, false},
        {"0x" + kPublic.substr(2), false, false},
        {kPublic + "\n" + kPublic, false, false},  // two keys are not one signature
        {"", false, false},
        {"\n", false, false},
        {kSignature, false, true},
        {"  " + kSignature + "\n", false, true},
        {kSignature.substr(1), false, false},
        {kSignature + "0", false, false},
        {kSignature.substr(0, 127) + "z", false, false},
        {kSignature.substr(0, 60) + std::string("\0", 1) + kSignature.substr(61), false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ParsePublicKey(c.text).has_value(), c.key);
        EXPECT_EQ(ParsePrivateKey(c.text).has_value(), c.key);
        EXPECT_EQ(ParseSignature(c.text).has_value(), c.signature);
    }
}

}  // namespace
