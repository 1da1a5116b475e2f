#pragma once
// A shared library loaded at run time, and the addresses of its exported names: the only
// door to dynamic loading. Every name is bound at load and kept to this library, so a
// missing dependency shows at Load, never at a later call. One object is for one thread at
// a time; distinct objects are independent.

#include <string>
#include <string_view>

namespace vesk::dynlib {

class Library {
public:
    Library() = default;
    ~Library();  // unloads
    Library(Library&& other) noexcept;
    Library& operator=(Library&& other) noexcept;
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    // Loads the file at path, after unloading what this object held. An empty path is
    // refused (it would name the running program). False on failure; see LastError.
    bool Load(std::wstring_view path);
    // The address of an exported name; null when it is absent or nothing is loaded.
    void* Symbol(const char* name);
    // Drops this object's hold on the library; a second call does nothing.
    void Unload();
    bool IsLoaded() const { return m_handle != nullptr; }
    // Why the last Load or Symbol failed, for the logs; empty after a success.
    const std::string& LastError() const { return m_error; }

private:
    void* m_handle = nullptr;
    std::string m_error;
};

}  // namespace vesk::dynlib
