#pragma once
// The publisher's word on the service's installer: an installation that carries its key
// runs only an installer signed by that key, as it accepts only manifests signed by it. The
// signature lies beside the installer (URL + ".sig"): Ed25519 over the installer's exact
// bytes, 128 hexadecimal digits. Safe from any thread.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "digest/PublisherKey.h"

namespace vesk::tsp {

inline constexpr wchar_t kInstallerSignatureSuffix[] = L".sig";
// Far more than 128 digits and a line end.
inline constexpr std::size_t kMaxInstallerSignature = 1024;

// Why an installation bound by key (present) must not run these installer bytes; nullopt
// when key signed exactly them. signatureText is what was fetched beside the installer,
// empty when nothing came.
std::optional<std::wstring> InstallerRefusal(std::string_view installer,
                                             const digest::PublisherKey& key,
                                             std::string_view signatureText);

}  // namespace vesk::tsp
