#pragma once
// A message box written to standard error, for a process without a display: its title after
// "Message box: ", then its text, in one write. Safe from any thread.

#include <string_view>

namespace vesk::ui {

void WriteBoxToStandardError(std::string_view title, std::string_view text);

}  // namespace vesk::ui
