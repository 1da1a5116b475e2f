// The tables are read afresh on each call, in large reads, so a walk of the kernel's table
// is seldom split while sockets come and go.

#include "net/SocketTables.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <functional>
#include <memory>
#include <string_view>

namespace vesk::net {
namespace {

constexpr const char* kTables[] = {"/proc/net/tcp", "/proc/net/tcp6"};
constexpr std::size_t kReadSize = 1 << 20;
constexpr unsigned kListening = 0x0A;
constexpr unsigned kTimeWait = 0x06;
constexpr std::size_t kUidField = 7;

// Every address as IPv6, an IPv4 one mapped into it, so both tables compare alike.
using Address = std::array<unsigned char, 16>;

struct End {
    Address address{};
    std::uint16_t port = 0;
    bool operator==(const End&) const = default;
};

struct Row {
    End local;
    End remote;
    unsigned state = 0;
    uid_t uid = 0;
};

Address MappedV4(const unsigned char (&bytes)[4]) {
    Address out{};
    out[10] = out[11] = 0xFF;
    std::memcpy(out.data() + 12, bytes, 4);
    return out;
}

const Address kLoopbackV4 = MappedV4({127, 0, 0, 1});
const Address kAnyV4 = MappedV4({0, 0, 0, 0});
const Address kAnyV6{};

std::optional<Address> FromText(const std::string& text) {
    unsigned char v4[4];
    if (inet_pton(AF_INET, text.c_str(), v4) == 1) return MappedV4(v4);
    Address v6{};
    if (inet_pton(AF_INET6, text.c_str(), v6.data()) == 1) return v6;
    return std::nullopt;
}

template <class Number>
bool Hex(std::string_view text, Number& out) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out, 16);
    return error == std::errc() && end == text.data() + text.size();
}

// "ADDRESS:PORT" in hexadecimal; the tables print each 32-bit word of an address as the
// machine holds it in memory.
bool ParseEnd(std::string_view text, End& out) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos || !Hex(text.substr(colon + 1), out.port)) return false;
    const std::string_view hex = text.substr(0, colon);
    if (hex.size() != 8 && hex.size() != 32) return false;
    const std::size_t words = hex.size() / 8;
    unsigned char bytes[16];
    for (std::size_t i = 0; i < words; ++i) {
        std::uint32_t word = 0;
        if (!Hex(hex.substr(8 * i, 8), word)) return false;
        std::memcpy(bytes + 4 * i, &word, 4);
    }
    if (words == 1) {
        unsigned char v4[4];
        std::memcpy(v4, bytes, 4);
        out.address = MappedV4(v4);
    } else {
        std::memcpy(out.address.data(), bytes, 16);
    }
    return true;
}

std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t at = 0;
    while (at < line.size()) {
        const std::size_t start = line.find_first_not_of(' ', at);
        if (start == std::string_view::npos) break;
        const std::size_t end = std::min(line.find(' ', start), line.size());
        fields.push_back(line.substr(start, end - start));
        at = end;
    }
    return fields;
}

bool ParseRow(std::string_view line, Row& row) {
    const std::vector<std::string_view> fields = Fields(line);
    return fields.size() > kUidField && ParseEnd(fields[1], row.local) &&
           ParseEnd(fields[2], row.remote) && Hex(fields[3], row.state) &&
           std::from_chars(fields[kUidField].data(),
                           fields[kUidField].data() + fields[kUidField].size(), row.uid)
                   .ec == std::errc();
}

std::string ReadTable(const char* path) {
    std::string text;
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return text;
    // Left uncleared: only the pages a read fills are ever touched.
    const auto buffer = std::make_unique_for_overwrite<char[]>(kReadSize);
    for (;;) {
        const ssize_t n = read(fd, buffer.get(), kReadSize);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        text.append(buffer.get(), static_cast<std::size_t>(n));
    }
    close(fd);
    return text;
}

// Every socket of both tables; the heading line of each parses as none.
void ForEachRow(const std::function<void(const Row&)>& visit) {
    for (const char* table : kTables) {
        const std::string text = ReadTable(table);
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            Row row;
            if (ParseRow(std::string_view(text).substr(start, end - start), row)) visit(row);
            start = end + 1;
        }
    }
}

bool TakesLoopback(const Address& address) {
    return address == kLoopbackV4 || address == kAnyV4 || address == kAnyV6;
}

}  // namespace

std::vector<uid_t> TableListenerOwners(std::uint16_t port) {
    std::vector<uid_t> owners;
    try {
        ForEachRow([&](const Row& row) {
            if (row.state == kListening && row.local.port == port &&
                TakesLoopback(row.local.address))
                owners.push_back(row.uid);
        });
    } catch (...) {
        owners.clear();
    }
    return owners;
}

std::optional<uid_t> TableConnectionOwner(const TcpEnd& local, const TcpEnd& remote) {
    try {
        const auto localAddress = FromText(local.address);
        const auto remoteAddress = FromText(remote.address);
        if (!localAddress || !remoteAddress) return std::nullopt;
        const End wantLocal{*localAddress, local.port};
        const End wantRemote{*remoteAddress, remote.port};
        std::optional<uid_t> owner;
        ForEachRow([&](const Row& row) {
            if (row.state != kListening && row.state != kTimeWait && row.local == wantLocal &&
                row.remote == wantRemote)
                owner = row.uid;
        });
        return owner;
    } catch (...) {
        return std::nullopt;
    }
}

}  // namespace vesk::net
