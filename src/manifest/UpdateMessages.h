#pragma once
// The updater's window messages, and the sink that background threads post them to.
// wParam is always 0; lParam is a small flag or mode.

#include <cstdint>

inline constexpr unsigned kWmUser = 0x0400;
inline constexpr unsigned WM_UPDATE_DOWNLOAD_FAILED = kWmUser + 100;
inline constexpr unsigned WM_UPDATE_RUN_WORKER = kWmUser + 101;
inline constexpr unsigned WM_UPDATE_SUCCEEDED = kWmUser + 110;
inline constexpr unsigned WM_UPDATE_FINISH = kWmUser + 111;

// Where background threads post their reports; the update window is the real one.
// PostUpdateMessage must be safe from any thread and never block.
class IUpdateMessageSink {
public:
    virtual ~IUpdateMessageSink() = default;
    virtual void PostUpdateMessage(unsigned message, std::uintptr_t wParam,
                                   std::intptr_t lParam) = 0;
};
