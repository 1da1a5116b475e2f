// Any bytes as an update package, every entry extracted into a scratch folder: never
// crashes, never leaks, and never writes beside that folder or leaves a link in it.

#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
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

void CheckConfined(const stdfs::path& root) {
    for (const auto& item : stdfs::directory_iterator(root)) {
        if (item.path().filename() != "base") {
            std::fprintf(stderr, "written beside the base: %s\n", item.path().c_str());
            abort();
        }
    }
    for (const auto& item : stdfs::recursive_directory_iterator(root / "base")) {
        if (item.is_symlink()) {
            std::fprintf(stderr, "link made: %s\n", item.path().c_str());
            abort();
        }
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
    stdfs::create_directories(root / "base");
    ExtractAll(archive, root / "base");
    CheckConfined(root);
    RemoveAll(root);
    return 0;
}
