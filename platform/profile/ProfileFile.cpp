#include "profile/ProfileFile.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "text/Case.h"
#include "text/Number.h"
#include "text/Utf.h"

namespace vesk::profile {
namespace {

// A settings file is a few kilobytes; anything this large is not one and is left alone.
constexpr std::size_t kMaxFileBytes = 16u << 20;
constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::string_view kNewFileLineEnd = "\r\n";
constexpr std::wstring_view kBlanks = L" \t\r\v\f";
constexpr int kMaxLinkHops = 40;
constexpr int kTempAttempts = 100;

std::mutex g_mutex;

enum class Load { kOk, kAbsent, kFailed };

bool ReadAll(int fd, std::string& bytes) {
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        if (bytes.size() + static_cast<std::size_t>(n) > kMaxFileBytes) return false;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
}

// O_NONBLOCK keeps a FIFO put in the file's place from hanging the caller.
Load LoadFile(const std::string& path, std::string& bytes, struct stat& info) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return errno == ENOENT ? Load::kAbsent : Load::kFailed;
    bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
              static_cast<std::size_t>(info.st_size) <= kMaxFileBytes;
    if (ok) {
        bytes.reserve(static_cast<std::size_t>(info.st_size));
        ok = ReadAll(fd, bytes);
    }
    close(fd);
    return ok ? Load::kOk : Load::kFailed;
}

enum class Kind { kOther, kSection, kKey };

struct Line {
    std::size_t begin = 0;  // offset of the line's text
    std::size_t end = 0;    // offset where its text ends (before CR LF or LF)
    std::size_t next = 0;   // offset of the following line
    Kind kind = Kind::kOther;
    std::wstring name;           // trimmed section or key name
    std::size_t valueBegin = 0;  // offset of the value, blanks after "=" skipped
};

std::wstring Trim(std::wstring_view text) {
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::wstring_view::npos) return {};
    return std::wstring(text.substr(first, text.find_last_not_of(kBlanks) - first + 1));
}

std::string_view TrimLeft(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t\r\v\f");
    return first == std::string_view::npos ? std::string_view() : text.substr(first);
}

bool IsBlankByte(char c) {
    return c == ' ' || c == '\t';
}

void Classify(std::string_view bytes, Line& line, bool inSection) {
    const std::string_view text = bytes.substr(line.begin, line.end - line.begin);
    const std::string_view trimmed = TrimLeft(text);
    if (trimmed.starts_with(';')) return;
    if (trimmed.starts_with('[')) {
        const std::size_t close = trimmed.find(']');
        if (close != std::string_view::npos) {
            line.kind = Kind::kSection;
            line.name = Trim(text::Utf8ToWide(trimmed.substr(1, close - 1)));
            return;
        }
    }
    const std::size_t equals = text.find('=');
    if (!inSection || equals == std::string_view::npos) return;
    line.kind = Kind::kKey;
    line.name = Trim(text::Utf8ToWide(text.substr(0, equals)));
    line.valueBegin = line.begin + equals + 1;
    while (line.valueBegin < line.end && IsBlankByte(bytes[line.valueBegin])) ++line.valueBegin;
}

std::vector<Line> ParseLines(std::string_view bytes) {
    std::vector<Line> lines;
    std::size_t pos = bytes.starts_with(kBom) ? kBom.size() : 0;
    bool inSection = false;
    while (pos < bytes.size()) {
        const std::size_t newline = bytes.find('\n', pos);
        Line line;
        line.begin = pos;
        line.next = newline == std::string_view::npos ? bytes.size() : newline + 1;
        line.end = newline == std::string_view::npos ? bytes.size() : newline;
        if (line.end > line.begin && bytes[line.end - 1] == '\r') --line.end;
        Classify(bytes, line, inSection);
        inSection = inSection || line.kind == Kind::kSection;
        lines.push_back(std::move(line));
        pos = lines.back().next;
    }
    return lines;
}

// Where a section and a key stand; only the first of equal names counts.
struct Location {
    std::optional<std::size_t> section;
    std::optional<std::size_t> key;
    std::size_t lastEntry = 0;  // the section's last key line, else its header
};

Location Locate(const std::vector<Line>& lines, std::wstring_view section, std::wstring_view key) {
    Location at;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].kind == Kind::kSection && text::EqualsNoCase(lines[i].name, section)) {
            at.section = at.lastEntry = i;
            break;
        }
    }
    if (!at.section) return at;
    for (std::size_t i = *at.section + 1; i < lines.size(); ++i) {
        if (lines[i].kind == Kind::kSection) break;
        if (lines[i].kind != Kind::kKey) continue;
        at.lastEntry = i;
        if (!at.key && text::EqualsNoCase(lines[i].name, key)) at.key = i;
    }
    return at;
}

std::wstring ValueOf(std::string_view bytes, const Line& line) {
    std::wstring value =
        Trim(text::Utf8ToWide(bytes.substr(line.valueBegin, line.end - line.valueBegin)));
    if (value.size() >= 2 && value.front() == value.back() &&
        (value.front() == L'"' || value.front() == L'\'')) {
        value = value.substr(1, value.size() - 2);
    }
    return value;
}

// The stored value, or nothing when the file, section or key is absent or unreadable.
std::optional<std::wstring> Lookup(std::wstring_view path, std::wstring_view section,
                                   std::wstring_view key) {
    std::string bytes;
    struct stat info {};
    if (LoadFile(text::WideToUtf8(path), bytes, info) != Load::kOk) return std::nullopt;
    const std::vector<Line> lines = ParseLines(bytes);
    const Location at = Locate(lines, Trim(section), Trim(key));
    if (!at.key) return std::nullopt;
    return ValueOf(bytes, lines[*at.key]);
}

std::string_view LineEndOf(std::string_view bytes) {
    const std::size_t newline = bytes.find('\n');
    if (newline == std::string_view::npos) return kNewFileLineEnd;
    return newline > 0 && bytes[newline - 1] == '\r' ? "\r\n" : "\n";
}

struct Entry {
    std::string section;
    std::string key;
    std::string value;
};

std::string ReplaceValue(std::string_view bytes, const Line& line, const Entry& entry) {
    std::string out(bytes.substr(0, line.valueBegin));
    out += entry.value;
    out += bytes.substr(line.end);
    return out;
}

std::string InsertKey(std::string_view bytes, const Line& after, const Entry& entry,
                      std::string_view eol) {
    std::string out(bytes.substr(0, after.next));
    if (after.next == after.end) out += eol;  // the last line had no line end
    out += entry.key + "=" + entry.value;
    out += eol;
    out += bytes.substr(after.next);
    return out;
}

// A new section goes at the end, after one blank line unless the file already ends in one.
std::string AppendSection(std::string_view bytes, const std::vector<Line>& lines,
                          const Entry& entry, std::string_view eol) {
    std::string out(bytes);
    if (!lines.empty()) {
        const Line& last = lines.back();
        if (last.next == last.end) out += eol;
        if (!TrimLeft(bytes.substr(last.begin, last.end - last.begin)).empty()) out += eol;
    }
    out += "[" + entry.section + "]";
    out += eol;
    out += entry.key + "=" + entry.value;
    out += eol;
    return out;
}

std::string Edit(std::string_view bytes, const Entry& entry, std::wstring_view section,
                 std::wstring_view key) {
    const std::string_view eol = LineEndOf(bytes);
    const std::vector<Line> lines = ParseLines(bytes);
    const Location at = Locate(lines, section, key);
    if (at.key) return ReplaceValue(bytes, lines[*at.key], entry);
    if (at.section) return InsertKey(bytes, lines[at.lastEntry], entry, eol);
    return AppendSection(bytes, lines, entry, eol);
}

bool HasLineBreakOrNul(std::wstring_view text) {
    return text.find_first_of(std::wstring_view(L"\r\n\0", 3)) != std::wstring_view::npos;
}

// Names that could not be read back as written are refused rather than written.
bool IsWritable(std::wstring_view section, std::wstring_view key, std::wstring_view value) {
    if (section.empty() || key.empty()) return false;
    if (HasLineBreakOrNul(section) || HasLineBreakOrNul(key) || HasLineBreakOrNul(value)) {
        return false;
    }
    if (section.find(L']') != std::wstring_view::npos) return false;
    if (key.find(L'=') != std::wstring_view::npos) return false;
    return key.front() != L';' && key.front() != L'[';
}

// Follows symbolic links so that a linked settings file is updated where it lives and the
// link itself stays.
std::optional<std::string> ResolveLinks(std::string path) {
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat info {};
        if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
        std::string target(PATH_MAX, '\0');
        const ssize_t n = readlink(path.c_str(), target.data(), target.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= target.size()) return std::nullopt;
        target.resize(static_cast<std::size_t>(n));
        if (target.front() != '/') target = path.substr(0, path.rfind('/') + 1) + target;
        path = std::move(target);
    }
    return std::nullopt;
}

std::string RandomSuffix() {
    static std::atomic<unsigned> counter{0};
    unsigned long long seed = 0;
    if (getrandom(&seed, sizeof seed, GRND_NONBLOCK) != sizeof seed) {
        seed = static_cast<unsigned long long>(getpid()) << 32 ^ counter.fetch_add(1);
    }
    constexpr std::string_view kAlphabet =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string suffix;
    for (int i = 0; i < 8; ++i, seed /= kAlphabet.size()) {
        suffix.push_back(kAlphabet[seed % kAlphabet.size()]);
    }
    return suffix;
}

// Creates a unique hidden file beside the target; mode 0666 lets the umask decide the
// permissions of a new settings file, as a plain create would.
int CreateTemp(const std::string& target, std::string& tempPath) {
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    if (name.empty()) return -1;
    for (int attempt = 0; attempt < kTempAttempts; ++attempt) {
        tempPath = folder + "." + name + "." + RandomSuffix();
        const int fd = open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool FillTemp(int fd, std::string_view bytes, const struct stat* old) {
    if (old) {
        // Owner and group can only be kept where the caller may set them; not keeping
        // them is no reason to refuse the write.
        const bool ownerKept = fchown(fd, old->st_uid, old->st_gid) == 0;
        static_cast<void>(ownerKept);
        if (fchmod(fd, old->st_mode & 07777) != 0) return false;
    }
    return WriteAll(fd, bytes) && fsync(fd) == 0;
}

void SyncFolderOf(const std::string& target) {
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

bool ReplaceFile(const std::string& target, std::string_view bytes, const struct stat* old) {
    std::string tempPath;
    const int fd = CreateTemp(target, tempPath);
    if (fd < 0) return false;
    bool ok = FillTemp(fd, bytes, old);
    ok = close(fd) == 0 && ok;
    ok = ok && rename(tempPath.c_str(), target.c_str()) == 0;
    if (!ok) {
        unlink(tempPath.c_str());
        return false;
    }
    SyncFolderOf(target);
    return true;
}

// A file without write bits is read-only, as Windows sees it, even to a privileged caller.
bool MayChange(const std::string& target, const struct stat& info) {
    if ((info.st_mode & 0222) == 0) return false;
    return faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) == 0;
}

bool Write(std::wstring_view path, std::wstring_view section, std::wstring_view key,
           std::wstring_view value) {
    const std::wstring sectionName = Trim(section);
    const std::wstring keyName = Trim(key);
    if (!IsWritable(sectionName, keyName, value)) return false;
    const std::optional<std::string> target = ResolveLinks(text::WideToUtf8(path));
    if (!target || target->empty()) return false;
    std::string bytes;
    struct stat info {};
    const Load load = LoadFile(*target, bytes, info);
    if (load == Load::kFailed) return false;  // never replace what could not be read
    if (load == Load::kOk && !MayChange(*target, info)) return false;
    const Entry entry{text::WideToUtf8(sectionName), text::WideToUtf8(keyName),
                      text::WideToUtf8(value)};
    const std::string updated = Edit(bytes, entry, sectionName, keyName);
    return ReplaceFile(*target, updated, load == Load::kOk ? &info : nullptr);
}

}  // namespace

std::wstring ReadString(std::wstring_view path, std::wstring_view section, std::wstring_view key,
                        std::wstring_view defaultValue, std::size_t bufferChars) {
    try {
        std::lock_guard lock(g_mutex);
        std::wstring value = Lookup(path, section, key).value_or(std::wstring(defaultValue));
        if (bufferChars > 0 && value.size() > bufferChars - 1) value.resize(bufferChars - 1);
        return value;
    } catch (...) {
        return {};
    }
}

int ReadInt(std::wstring_view path, std::wstring_view section, std::wstring_view key,
            int defaultValue) {
    try {
        std::lock_guard lock(g_mutex);
        const std::optional<std::wstring> value = Lookup(path, section, key);
        if (!value || value->empty()) return defaultValue;
        return text::ParseDecimalInt(*value);
    } catch (...) {
        return defaultValue;
    }
}

bool WriteString(std::wstring_view path, std::wstring_view section, std::wstring_view key,
                 std::wstring_view value) {
    try {
        std::lock_guard lock(g_mutex);
        return Write(path, section, key, value);
    } catch (...) {
        return false;
    }
}

}  // namespace vesk::profile
