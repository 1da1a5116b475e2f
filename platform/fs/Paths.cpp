#include "fs/Paths.h"

#include <errno.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <vector>

#include "text/Utf.h"

namespace vesk::fs {

namespace {

// The link's target may be longer than any fixed buffer; grow until it fits.
std::string ReadLink(const char* link) {
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t n = readlink(link, buffer.data(), buffer.size());
        if (n < 0) return {};
        if (static_cast<size_t>(n) < buffer.size()) return std::string(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
}

std::optional<std::string> HomeFromPasswordDatabase() {
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    int rc = 0;
    while ((rc = getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found)) == ERANGE)
        buffer.resize(buffer.size() * 2);
    if (rc != 0 || !found || !found->pw_dir || !*found->pw_dir) return std::nullopt;
    return std::string(found->pw_dir);
}

// The XDG rules: a variable counts only when it holds an absolute path.
std::optional<std::wstring> XdgFolder(const char* variable, const wchar_t* underHome) {
    const char* value = getenv(variable);
    if (value && value[0] == '/') return WithTrailingSlash(WidePath(value));
    std::optional<std::wstring> home = UserProfileFolder();
    if (!home) return std::nullopt;
    return *home + underHome;
}

}  // namespace

std::string NativePath(std::wstring_view path) {
    return text::WideToNativeBytes(path);
}

std::wstring WidePath(std::string_view nativePath) {
    return text::NativeBytesToWide(nativePath);
}

std::wstring ExecutablePath() {
    return WidePath(ReadLink("/proc/self/exe"));
}

std::wstring ExecutableFolder() {
    std::wstring path = ExecutablePath();
    const size_t slash = path.rfind(L'/');
    if (slash == std::wstring::npos) return {};
    path.resize(slash + 1);
    return path;
}

std::wstring CurrentDirectory() {
    std::vector<char> buffer(256);
    while (!getcwd(buffer.data(), buffer.size())) {
        if (errno != ERANGE) return {};
        buffer.resize(buffer.size() * 2);
    }
    return WithTrailingSlash(WidePath(buffer.data()));
}

bool SetCurrentDirectory(std::wstring_view path) {
    return chdir(NativePath(path).c_str()) == 0;
}

std::optional<std::wstring> UserProfileFolder() {
    const char* home = getenv("HOME");
    if (home && *home) return WithTrailingSlash(WidePath(home));
    std::optional<std::string> fromDatabase = HomeFromPasswordDatabase();
    if (!fromDatabase) return std::nullopt;
    return WithTrailingSlash(WidePath(*fromDatabase));
}

std::optional<std::wstring> UserConfigFolder() {
    return XdgFolder("XDG_CONFIG_HOME", L".config/");
}

std::optional<std::wstring> LocalAppDataFolder() {
    return XdgFolder("XDG_CACHE_HOME", L".cache/");
}

std::optional<std::wstring> UserRuntimeFolder() {
    const char* value = getenv("XDG_RUNTIME_DIR");
    struct stat info {};
    if (!value || value[0] != '/' || stat(value, &info) != 0 || !S_ISDIR(info.st_mode))
        return std::nullopt;
    return WithTrailingSlash(WidePath(value));
}

std::optional<std::wstring> CanonicalPath(std::wstring_view path) {
    const std::unique_ptr<char, decltype(&free)> resolved(
        realpath(NativePath(path).c_str(), nullptr), &free);
    if (!resolved) return std::nullopt;
    return WidePath(resolved.get());
}

std::wstring WithTrailingSlash(std::wstring_view folder) {
    std::wstring result(folder);
    // An unknown folder must not turn into the root folder.
    if (!result.empty() && result.back() != L'/') result += L'/';
    return result;
}

}  // namespace vesk::fs
