#include "process/ProcessEnd.h"

#include <cstdio>
#include <cstdlib>

namespace vesk::process {

void EndProcessNow(int exitCode) {
    std::fflush(nullptr);
    std::_Exit(exitCode);
}

}  // namespace vesk::process
