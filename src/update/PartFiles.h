#pragma once
// The part files direct downloads leave in the package folder between attempts and runs.

#include <cstdint>

#include "UpdateState.h"

// Deletes each part file (and its validator) whose package the selection no longer holds.
void DeleteStaleParts(const UpdateState& state);

// The bytes the selected packages' part files already hold, each counted up to its package's
// size at most.
std::uint64_t ResumedBytes(const UpdateState& state);
