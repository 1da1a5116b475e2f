#pragma once
// Tests of who may talk to whom on 127.0.0.1 run a program as another user (vesk_other_user,
// whose path the build hands them as VESK_OTHER_USER). Only root may take on another user;
// elsewhere those tests are skipped.

#include <unistd.h>

namespace vesk::test {

// "nobody".
inline constexpr uid_t kOtherUser = 65534;
inline constexpr const char* kOtherUserId = "65534";
inline constexpr const char* kNeedsRoot = "only root can run a program as another user";

inline bool CanRunAsOtherUser() {
    return geteuid() == 0;
}

}  // namespace vesk::test
