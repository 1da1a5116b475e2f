#include "InstallerSignature.h"

namespace vesk::tsp {

std::optional<std::wstring> InstallerRefusal(std::string_view installer,
                                             const digest::PublisherKey& key,
                                             std::string_view signatureText) {
    if (!key.key) return std::wstring(digest::kPublisherKeyFile) + L" holds no valid key";
    if (signatureText.empty()) return L"the installer has no signature";
    const auto signature = signatureText.size() <= kMaxInstallerSignature
                               ? digest::ParseSignature(signatureText)
                               : std::nullopt;
    if (!signature) return L"the installer's signature is malformed";
    if (!digest::Verify(*key.key, installer, *signature))
        return L"the installer's signature does not match the key";
    return std::nullopt;
}

}  // namespace vesk::tsp
