#pragma once
// One rate shared by every transfer of the server: each chunk takes its turn on a common
// timeline, so all connections together send no more than the rate allows. Safe from any
// thread.

#include <chrono>
#include <cstdint>
#include <mutex>

namespace vesk::update_server {

class SendPace {
public:
    using Clock = std::chrono::steady_clock;

    // 0: no limit.
    explicit SendPace(std::int64_t bytesPerSecond) : m_rate(bytesPerSecond) {}

    bool Limited() const { return m_rate > 0; }
    // How much one turn sends: about a twentieth of a second's worth, so turns interleave.
    std::int64_t Chunk() const;
    // Books the next turn for bytes and says when it begins; unused time is never saved up.
    Clock::time_point Reserve(std::int64_t bytes, Clock::time_point now);

private:
    const std::int64_t m_rate;
    std::mutex m_mutex;
    Clock::time_point m_next{};
};

}  // namespace vesk::update_server
