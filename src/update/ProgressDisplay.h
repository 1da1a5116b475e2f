#pragma once
// What the update window shows of a download through the service: the status line's
// figures and the bar's position, from the transfer's completed fraction.

#include <cstdint>
#include <string>

struct ProgressFigures {
    std::int64_t doneKb = 0;
    std::int64_t totalKb = 0;
    int position = 0;  // 0 to 100
};

// fraction: the completed part of the current package; bytesDone: the packages before it.
ProgressFigures ComputeProgress(std::int64_t totalBytes, std::int64_t currentSize,
                                std::int64_t bytesDone, double fraction);

// "TEXT 500KB TEXT2 2000KB." with the two localised texts.
std::wstring ProgressLine(const ProgressFigures& figures);
