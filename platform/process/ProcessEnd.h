#pragma once
// Ending the process at once, as the updater does once its work is done: buffered output is
// written out, then the process ends without running static destructors or exit handlers,
// so nothing is torn down under a thread that may still run. Safe from any thread.

namespace vesk::process {

[[noreturn]] void EndProcessNow(int exitCode);

}  // namespace vesk::process
