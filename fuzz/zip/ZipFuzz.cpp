// Any bytes as an update package, every entry extracted into a base folder nested in a
// scratch folder: never crashes, never leaks, never writes beside the base or above it,
// never follows the links placed in it out to the folder they lead to, and never makes a
// link of its own.

#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "ZipArchive.h"

namespace {

namespace stdfs = std::filesystem;

// Entries announcing more than this are described but not extracted, to keep runs short.
constexpr std::uint32_t kLargestExtracted = 1 << 20;

void RemoveAll(const stdfs::path& root);

// Made once per process and removed at exit; kept on the heap so it outlives the exit
// handlers.
const stdfs::path& Scratch() {
    static const stdfs::path* scratch = [] {
        std::string pattern = (stdfs::temp_directory_path() / "vesk-zip-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data())) abort();
        std::atexit([] { RemoveAll(Scratch()); });
        return new stdfs::path(pattern);
    }();
    return *scratch;
}

void ExtractAll(const stdfs::path& archive, const stdfs::path& base) {
    ZipHandle* zip = OpenZipFile(archive.wstring().c_str(), nullptr);
    if (!zip) return;
    SetZipBaseFolder(zip, base.wstring().c_str());
    ZipEntry entry;
    GetZipEntry(zip, -1, &entry);
    const int count = entry.index;
    for (int i = 0; i < count; ++i) {
        if (GetZipEntry(zip, i, &entry) != kZipSuccess) continue;
        if (entry.uncompressedSize > kLargestExtracted) continue;
        UnzipEntryToFile(zip, i, entry.name.c_str());
    }
    CloseZipFile(zip);
}

// Links placed in the base before extraction, to a folder and a file outside it.
struct PlacedLink {
    const char* name;
    const char* target;
};
constexpr PlacedLink kPlacedLinks[] = {{"plugins", "../../outside"},
                                       {"linked.txt", "../../outside/kept.txt"}};
constexpr char kKeptContent[] = "keep";

[[noreturn]] void Fail(const char* what, const stdfs::path& path) {
    std::fprintf(stderr, "%s: %s\n", what, path.c_str());
    abort();
}

// root/outside/kept.txt, and root/nest/base with the links to them.
void Prepare(const stdfs::path& root) {
    stdfs::create_directories(root / "outside");
    stdfs::create_directories(root / "nest/base");
    std::ofstream(root / "outside/kept.txt", std::ios::binary) << kKeptContent;
    for (const PlacedLink& link : kPlacedLinks) {
        stdfs::create_symlink(link.target, root / "nest/base" / link.name);
    }
}

void CheckHoldsOnly(const stdfs::path& folder, std::set<std::string> expected) {
    for (const auto& item : stdfs::directory_iterator(folder)) {
        if (item.is_symlink() || expected.erase(item.path().filename().string()) == 0) {
            Fail("written outside the base", item.path());
        }
    }
    if (!expected.empty()) Fail("removed outside the base", folder / *expected.begin());
}

bool IsPlacedLink(const stdfs::path& base, const stdfs::path& link) {
    for (const PlacedLink& placed : kPlacedLinks) {
        if (link == base / placed.name && stdfs::read_symlink(link) == placed.target) return true;
    }
    return false;
}

void CheckConfined(const stdfs::path& scratch, const stdfs::path& root) {
    CheckHoldsOnly(scratch, {"input.zip", "root"});
    CheckHoldsOnly(root, {"nest", "outside"});
    CheckHoldsOnly(root / "nest", {"base"});
    CheckHoldsOnly(root / "outside", {"kept.txt"});
    std::ifstream kept(root / "outside/kept.txt", std::ios::binary);
    const std::string content{std::istreambuf_iterator<char>(kept), {}};
    if (content != kKeptContent) Fail("changed outside the base", root / "outside/kept.txt");
    const stdfs::path base = root / "nest/base";
    for (const auto& item : stdfs::recursive_directory_iterator(base)) {
        if (item.is_symlink() && !IsPlacedLink(base, item.path())) Fail("link made", item.path());
    }
}

void RemoveAll(const stdfs::path& root) {
    std::error_code error;
    // Read-only folders from the archive must not stop the clean-up.
    for (auto it = stdfs::recursive_directory_iterator(root, error);
         !error && it != stdfs::recursive_directory_iterator(); it.increment(error)) {
        stdfs::permissions(it->path(), stdfs::perms::owner_all, stdfs::perm_options::add, error);
    }
    stdfs::remove_all(root, error);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const stdfs::path archive = Scratch() / "input.zip";
    const stdfs::path root = Scratch() / "root";
    {
        std::ofstream out(archive, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    Prepare(root);
    ExtractAll(archive, root / "nest/base");
    CheckConfined(Scratch(), root);
    RemoveAll(root);
    return 0;
}
