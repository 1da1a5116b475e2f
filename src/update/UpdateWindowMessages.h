#pragma once
// The update window's own messages and timer besides the update's four messages: the direct
// download's thread asks the window to start and stop the waiting animation, which only the
// window may touch, and the transfer's progress is polled on a timer whose work runs off the
// UI thread.

#include <chrono>

#include "ui/Messages.h"

inline constexpr vesk::ui::UINT WM_UPDATE_ANIMATION_START = vesk::ui::WM_APP + 1;
inline constexpr vesk::ui::UINT WM_UPDATE_ANIMATION_STOP = vesk::ui::WM_APP + 2;
// A tick's job has left its report (TransferTick.h).
inline constexpr vesk::ui::UINT WM_UPDATE_TICK_DONE = vesk::ui::WM_APP + 3;

inline constexpr vesk::ui::WPARAM kTransferTimer = 999;
inline constexpr std::chrono::milliseconds kTransferPeriod{100};
