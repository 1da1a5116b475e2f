#include "VirtualDisplay.h"

#include <filesystem>
#include <sstream>

namespace vesk::test {
namespace {

constexpr const char* kXvfb = "/usr/bin/Xvfb";
constexpr const char* kXdotool = "/usr/bin/xdotool";

}  // namespace

VirtualDisplay::VirtualDisplay() {
    if (!std::filesystem::exists(kXvfb)) return;
    if (!m_server.Start(kXvfb, {.args = {"-displayfd", "1", "-screen", "0", "1024x768x24",
                                         "-nolisten", "tcp"}}))
        return;
    if (const auto number = m_server.ReadLine(); number && !number->empty()) m_name = ":" + *number;
}

bool VirtualDisplay::CanAct() {
    return std::filesystem::exists(kXdotool);
}

std::optional<std::string> VirtualDisplay::Xdotool(std::vector<std::string> args) const {
    ChildProcess xdotool;
    if (!xdotool.Start(kXdotool, {.args = std::move(args), .setEnv = {{"DISPLAY", m_name}}}))
        return std::nullopt;
    if (xdotool.Wait() != 0) return std::nullopt;
    return xdotool.Output();
}

std::string VirtualDisplay::WindowOfSize(pid_t process, int width, int height) const {
    std::istringstream windows(Xdotool({"search", "--pid", std::to_string(process)}).value_or(""));
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    for (std::string id; windows >> id;) {
        if (Xdotool({"getwindowgeometry", id}).value_or("").find("Geometry: " + size) !=
            std::string::npos)
            return id;
    }
    return {};
}

}  // namespace vesk::test
