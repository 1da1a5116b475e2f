#include "ReleaseTree.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdint>

#include "ZipArchive.h"
#include "ZipEntryName.h"
#include "text/Utf.h"

namespace vesk::packager {
namespace {

// The exact time travels as a signed 32-bit count of seconds.
constexpr std::int64_t kEarliestTime = INT32_MIN;
constexpr std::int64_t kLatestTime = INT32_MAX;

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

bool CanRead(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    // An open that succeeds can still fail on the first read (a folder of another file system).
    char byte;
    const bool readable = ::read(fd, &byte, 1) >= 0;
    ::close(fd);
    return readable;
}

class Scanner {
public:
    explicit Scanner(ReleaseTree& tree) : m_tree(tree) {}

    // relative is empty for the release folder itself, else ends with "/".
    std::string Folder(const std::string& relative, bool& empty) {
        const std::string path = m_tree.root + relative;
        DIR* dir = ::opendir(path.c_str());
        if (!dir) return "cannot read the folder " + Quoted(path);
        std::vector<std::string> names;
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        ::closedir(dir);
        empty = names.empty();
        for (const std::string& name : names) {
            if (std::string problem = Item(relative + name); !problem.empty()) return problem;
        }
        return {};
    }

private:
    std::string Item(const std::string& name) {
        const std::string path = m_tree.root + name;
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0) return "cannot read " + Quoted(path);
        if (S_ISLNK(info.st_mode)) return Quoted(path) + " is a symbolic link";
        if (!S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode))
            return Quoted(path) + " is a special file";
        ReleaseItem item;
        item.name = name;
        item.folder = S_ISDIR(info.st_mode);
        item.mode = info.st_mode & 0177777;
        item.modified = info.st_mtim.tv_sec;
        if (std::string problem = EntryNameProblem(item.folder ? name + "/" : name);
            !problem.empty()) {
            return Quoted(path) + ": " + problem;
        }
        if (item.modified < kEarliestTime || item.modified > kLatestTime)
            return Quoted(path) + " has a modification time a package cannot record";
        if (item.folder) {
            const std::size_t at = m_tree.items.size();
            m_tree.items.push_back(item);
            bool empty = false;
            if (std::string problem = Folder(name + "/", empty); !problem.empty()) return problem;
            m_tree.items[at].empty = empty;
            return {};
        }
        if (!CanRead(path)) return "cannot read " + Quoted(path);
        item.size = static_cast<std::uint64_t>(info.st_size);
        if (item.size >= UINT32_MAX) return Quoted(path) + " is too large for a package";
        m_tree.items.push_back(item);
        return {};
    }

    ReleaseTree& m_tree;
};

}  // namespace

const ReleaseItem* ReleaseTree::Find(const std::string& name) const {
    const auto at = std::lower_bound(
        items.begin(), items.end(), name,
        [](const ReleaseItem& item, const std::string& key) { return item.name < key; });
    return at != items.end() && at->name == name ? &*at : nullptr;
}

std::string ScanRelease(const std::string& folder, ReleaseTree& out) {
    out = {};
    out.root = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    struct stat info {};
    if (::stat(out.root.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return Quoted(folder) + " is not a folder";
    bool empty = false;
    std::string problem = Scanner(out).Folder("", empty);
    std::sort(out.items.begin(), out.items.end(),
              [](const ReleaseItem& a, const ReleaseItem& b) { return a.name < b.name; });
    return problem;
}

std::string EntryNameProblem(const std::string& name) {
    const std::optional<std::wstring> wide = text::Utf8ToWideStrict(name);
    if (!wide) return "the name is not UTF-8";
    if (name.size() > static_cast<std::size_t>(kZipMaxName))
        return "the name is longer than " + std::to_string(kZipMaxName) + " bytes";
    if (wide->find(L'\\') != std::wstring::npos) return "the name holds a \"\\\"";
    if (ZipNameLeadsUpwards(*wide)) return "the name holds \"..\"";
    // The reader drops what looks like a drive or a leading separator: the file would land
    // under another name.
    if (CleanZipEntryName(*wide) != *wide) return "the updater would unpack it under another name";
    return {};
}

}  // namespace vesk::packager
