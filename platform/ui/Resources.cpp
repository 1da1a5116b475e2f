#include "ui/Resources.h"

#include <atomic>

namespace vesk::ui {

namespace {

std::atomic<const ResourceModule*> g_program{nullptr};

bool Matches(const LinkedResource& r, const ResourceName& name) {
    if (const int* id = std::get_if<int>(&name)) return r.id != 0 && r.id == *id;
    return r.name == std::get<std::wstring>(name);
}

}  // namespace

void RegisterProgramResources(const ResourceModule* module) {
    g_program.store(module);
}

std::optional<std::span<const std::uint8_t>> FindResource(const ResourceModule* module,
                                                          const ResourceName& name,
                                                          std::wstring_view type) {
    if (!module) module = g_program.load();
    if (!module) return std::nullopt;
    for (const LinkedResource& r : module->resources)
        if (r.type == type && Matches(r, name)) return r.bytes;
    return std::nullopt;
}

}  // namespace vesk::ui
