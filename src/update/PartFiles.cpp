#include "PartFiles.h"

#include <algorithm>
#include <string>
#include <vector>

#include "DownloadPart.h"
#include "PackageChecksum.h"
#include "VersionManifest.h"
#include "fs/Files.h"

namespace {

std::vector<int> Selected(const UpdateState& state) {
    return PackagesToDownload({state.currentIndex, state.totalBytes}, state.packages);
}

bool EndsWith(const std::wstring& text, const std::wstring& end) {
    return text.size() > end.size() && text.ends_with(end);
}

// The name of the package whose part (or part's validator) the file is; empty for any other.
std::wstring PartOwner(const std::wstring& file) {
    const std::wstring part = UpdateState::kPartSuffix;
    const std::wstring validator = part + DownloadPart::kValidatorSuffix;
    if (EndsWith(file, validator)) return file.substr(0, file.size() - validator.size());
    if (EndsWith(file, part)) return file.substr(0, file.size() - part.size());
    return {};
}

}  // namespace

void DeleteStaleParts(const UpdateState& state) {
    const std::vector<int> selected = Selected(state);
    const std::wstring folder = state.PackageFolder();
    for (const std::wstring& file : vesk::fs::FileNamesIn(folder)) {
        const std::wstring owner = PartOwner(file);
        if (owner.empty()) continue;
        const bool wanted = std::ranges::any_of(
            selected, [&](int index) { return state.packages[index].name == owner; });
        if (!wanted) vesk::fs::DeleteFile(folder + file);
    }
}

std::uint64_t ResumedBytes(const UpdateState& state) {
    std::uint64_t bytes = 0;
    for (const int index : Selected(state)) {
        const UpdatePackage& package = state.packages[index];
        const auto part = vesk::fs::GetAttributes(state.PartPathOf(package));
        if (part && !part->folder) bytes += std::min(part->size, PackageSizeLimit(package));
    }
    return bytes;
}
