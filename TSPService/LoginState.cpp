#include "LoginState.h"

namespace vesk::tsp_service {

LoginState::LoginState(long delayMs, long questionsBefore)
    : m_readyAt(clock::Now() + clock::Milliseconds(delayMs)), m_questionsLeft(questionsBefore) {}

std::string LoginState::Ask() {
    std::lock_guard lock(m_mutex);
    if (m_questionsLeft > 0) {
        --m_questionsLeft;
        return kLoggingIn;
    }
    return clock::Now() >= m_readyAt ? kLoggedIn : kLoggingIn;
}

bool LoginState::LoggedIn() {
    std::lock_guard lock(m_mutex);
    return m_questionsLeft == 0 && clock::Now() >= m_readyAt;
}

}  // namespace vesk::tsp_service
