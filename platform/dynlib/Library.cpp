#include "dynlib/Library.h"

#include <dlfcn.h>

#include <utility>

#include "fs/Paths.h"

namespace vesk::dynlib {
namespace {

std::string TakeDlError(const char* fallback) {
    const char* text = dlerror();
    return text ? text : fallback;
}

}  // namespace

Library::~Library() {
    Unload();
}

Library::Library(Library&& other) noexcept
    : m_handle(std::exchange(other.m_handle, nullptr)), m_error(std::move(other.m_error)) {}

Library& Library::operator=(Library&& other) noexcept {
    if (this != &other) {
        Unload();
        m_handle = std::exchange(other.m_handle, nullptr);
        m_error = std::move(other.m_error);
    }
    return *this;
}

bool Library::Load(std::wstring_view path) {
    Unload();
    if (path.empty()) {
        m_error = "no library path";
        return false;
    }
    m_handle = dlopen(fs::NativePath(path).c_str(), RTLD_NOW | RTLD_LOCAL);
    m_error = m_handle ? std::string() : TakeDlError("cannot load the library");
    return m_handle != nullptr;
}

void* Library::Symbol(const char* name) {
    if (!m_handle || !name) {
        m_error = m_handle ? "no name" : "no library loaded";
        return nullptr;
    }
    dlerror();  // a stale error must not be taken for this lookup's
    void* address = dlsym(m_handle, name);
    m_error = address ? std::string() : TakeDlError("name not found") + " (" + name + ")";
    return address;
}

void Library::Unload() {
    if (!m_handle) return;
    dlclose(std::exchange(m_handle, nullptr));
}

}  // namespace vesk::dynlib
