#pragma once
// Program resources: data linked into the program at build time, found by type and by name or
// numeric id, as a module's resources are. A module is a table made by the build; the
// program's own module is the one registered at start-up. Safe from any thread once registered.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace vesk::ui {

struct LinkedResource {
    int id = 0;  // 0: found by name only
    std::wstring_view name;
    std::wstring_view type;
    std::span<const std::uint8_t> bytes;
};

struct ResourceModule {
    std::span<const LinkedResource> resources;
};

using ResourceName = std::variant<int, std::wstring>;

// Registers the program's own module (the one a null module means). Call before other threads.
void RegisterProgramResources(const ResourceModule* module);
// The resource's bytes, or nothing when the module (null: the program's) has no such resource.
std::optional<std::span<const std::uint8_t>> FindResource(const ResourceModule* module,
                                                          const ResourceName& name,
                                                          std::wstring_view type);

}  // namespace vesk::ui
