#include "KeyFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>

#include "Packager.h"
#include "StagedFile.h"

namespace vesk::packager {
namespace {

// A key file is one line; anything much longer is not one.
constexpr std::size_t kMaxKeyFileBytes = 4096;

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Created only if absent, so an existing key is never lost, and private from the start.
bool WritePrivateFile(const std::string& path, const std::string& text) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    const bool ok = ::fchmod(fd, 0600) == 0 && WriteAll(fd, text) && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !ok) {
        ::unlink(path.c_str());
        return false;
    }
    return true;
}

}  // namespace

int GenerateKeyFiles(const std::string& path, std::ostream& out, std::ostream& err) {
    const std::string publicPath = path + kPublicKeySuffix;
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0) {
        err << "vesk_packager: \"" << path << "\" exists; a key is never overwritten\n";
        return kExitRefused;
    }
    const auto key = digest::GenerateKey();
    const auto publicKey = key ? digest::PublicKeyOf(*key) : std::nullopt;
    if (!publicKey) {
        err << "vesk_packager: cannot make a key\n";
        return kExitFailed;
    }
    StagedFile staged;
    bool ok = staged.Create(publicPath);
    if (ok) {
        std::ofstream file(staged.path(), std::ios::binary | std::ios::trunc);
        file << digest::ToText(*publicKey) << "\n";
        file.close();
        ok = static_cast<bool>(file);
    }
    if (!ok) {
        err << "vesk_packager: cannot write \"" << publicPath << "\"\n";
        return kExitFailed;
    }
    if (!WritePrivateFile(path, digest::ToText(*key) + "\n")) {
        err << "vesk_packager: cannot write \"" << path << "\"\n";
        return errno == EEXIST ? kExitRefused : kExitFailed;
    }
    if (!staged.Commit()) {
        ::unlink(path.c_str());
        err << "vesk_packager: cannot write \"" << publicPath << "\"\n";
        return kExitFailed;
    }
    out << "wrote " << path << "\n"
        << "wrote " << publicPath << "\n";
    return kExitWritten;
}

std::string ReadSigningKey(const std::string& path, digest::Ed25519PrivateKey& key) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "cannot read the signing key \"" + path + "\"";
    std::string text(kMaxKeyFileBytes + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (in.bad()) return "cannot read the signing key \"" + path + "\"";
    text.resize(static_cast<std::size_t>(in.gcount()));
    const auto parsed = digest::ParsePrivateKey(text);
    if (!parsed) return "\"" + path + "\" does not hold a signing key (64 hexadecimal digits)";
    key = *parsed;
    return {};
}

}  // namespace vesk::packager
