#pragma once

namespace vesk::test {

// A port on 127.0.0.1 that was free a moment ago.
int FreeLoopbackPort();

}  // namespace vesk::test
