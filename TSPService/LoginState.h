#pragma once
// The stand-in service's login: "LoggedIn" once a start-up delay has passed and a number of
// "loginStatus" questions have been answered. Safe from any thread.

#include <mutex>
#include <string>

#include "clock/Clock.h"

namespace vesk::tsp_service {

inline constexpr const char* kLoggedIn = "LoggedIn";
inline constexpr const char* kLoggingIn = "LoggingIn";

class LoginState {
public:
    LoginState(long delayMs, long questionsBefore);
    // Answers one "loginStatus" question.
    std::string Ask();
    bool LoggedIn();

private:
    std::mutex m_mutex;
    clock::Milliseconds m_readyAt;
    long m_questionsLeft;
};

}  // namespace vesk::tsp_service
