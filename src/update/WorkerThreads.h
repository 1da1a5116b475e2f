#pragma once
// Starts a detached thread for one of the update's steps; false when none could be made.

#include <functional>

bool StartDetachedThread(std::function<void()> body);

// Blocks until every thread started above has ended and let go of what it held. The program
// never waits for them; a test does, so that nothing it started still runs as it ends.
void WaitForDetachedThreads();

// Tests: while set, every start above fails as a system out of threads would fail it.
void RefuseThreadStartsForTesting(bool refuse);
