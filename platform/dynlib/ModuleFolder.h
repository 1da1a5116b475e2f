#pragma once
// Where a loaded program or shared library lies, for code that finds its own files beside
// the file it was loaded from rather than beside the host program. Safe from any thread.

#include <string>

namespace vesk::dynlib {

// The folder (ending with "/") of the loaded file whose code or data holds address; empty
// when no loaded file holds it.
std::wstring FolderOfModuleHolding(const void* address);

}  // namespace vesk::dynlib
