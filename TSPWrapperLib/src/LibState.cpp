#include "LibState.h"

#include <atomic>
#include <mutex>

namespace vesk::tsp {
namespace {

std::atomic<int> g_port{kServicePort};

// A lock, because a host may set the version on one thread while another reads it.
std::mutex& VersionMutex() {
    static std::mutex mutex;
    return mutex;
}

std::wstring& VersionValue() {
    static std::wstring version = L"2.3.0.0";
    return version;
}

}  // namespace

int StoredServicePort() {
    return g_port.load();
}

void StoreServicePort(int port) {
    g_port.store(port);
}

std::wstring MinimumRequiredVersion() {
    std::lock_guard lock(VersionMutex());
    return VersionValue();
}

void StoreMinimumRequiredVersion(const std::wstring& version) {
    std::lock_guard lock(VersionMutex());
    VersionValue() = version;
}

}  // namespace vesk::tsp
