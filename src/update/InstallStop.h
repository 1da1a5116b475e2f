#pragma once
// The meeting point of a cancel and a running install: once a cancel has begun
// (UpdateState::BeginCancel), the install finishes the package it is on and stops without
// recording anything; the cancel waits for that before it ends the program.

#include <chrono>

// After BeginCancel: true once no install is unpacking (at once when none ever started, or
// when it has stopped); false when the timeout passed first. Any thread.
bool WaitForInstallToStop(std::chrono::milliseconds timeout);
