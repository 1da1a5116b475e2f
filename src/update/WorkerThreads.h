#pragma once
// Starts a detached thread for one of the update's steps; false when none could be made.

#include <functional>

bool StartDetachedThread(std::function<void()> body);
