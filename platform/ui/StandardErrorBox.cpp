#include "ui/StandardErrorBox.h"

#include <cstdio>
#include <string>

namespace vesk::ui {

namespace {

constexpr std::string_view kBoxPrefix = "Message box: ";

}  // namespace

// One write, so lines from other threads cannot land inside the box's text.
void WriteBoxToStandardError(std::string_view title, std::string_view text) {
    std::string message;
    message.append(kBoxPrefix).append(title).append("\n").append(text);
    if (message.back() != '\n') message += '\n';
    std::fwrite(message.data(), 1, message.size(), stderr);
    std::fflush(stderr);
}

}  // namespace vesk::ui
