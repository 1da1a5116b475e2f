#include "Installation.h"

namespace vesk::test {

Installation::Installation() : m_root(m_dir.path()) {
    std::filesystem::create_directories(programFolder());
    std::filesystem::create_directories(home());
    AddProgram(VESK_UPDATE_PROGRAM, "VeskUpdate");
}

// A copy, not a link: copies of one program file share its instance lock.
void Installation::AddProgram(const std::filesystem::path& built, const std::string& name) {
    std::filesystem::copy_file(built, programFolder() / name);
}

void Installation::AddFile(const std::string& name, std::string_view bytes) {
    WriteFileBytes(programFolder() / name, bytes);
}

void Installation::AddDemoStringTable() {
    AddFile("VeskClient_String_Table.dat", ReadFileBytes(VESK_DEMO_STRING_TABLE));
}

void Installation::AddTheme() {
    const std::filesystem::path themes = programFolder() / "themes" / "classic";
    std::filesystem::create_directories(themes);
    for (const auto& image : std::filesystem::directory_iterator(VESK_THEME_DIR)) {
        std::filesystem::copy_file(image.path(), themes / image.path().filename());
    }
}

void Installation::AddClient() {
    AddProgram(VESK_CLIENT_STANDIN, "VeskClient.exe");
}

void Installation::AddTransferLibrary() {
    AddProgram(VESK_TRANSFER_LIBRARY, "TSPWrapperLib.dll");
}

namespace {

std::vector<std::string> Lines(const std::string& text, const std::string& end) {
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t next = text.find(end, at);
        if (next == std::string::npos) {
            lines.push_back(text.substr(at));
            break;
        }
        lines.push_back(text.substr(at, next - at));
        at = next + end.size();
    }
    return lines;
}

}  // namespace

std::vector<std::string> Installation::ClientStarts() const {
    const std::filesystem::path starts = programFolder() / "VeskClient.starts";
    if (!std::filesystem::exists(starts)) return {};
    return Lines(ReadFileBytes(starts), "\n");
}

// "2027-03-01 09:05:03:007  message": the stamp is 23 characters and two blanks.
std::vector<std::string> Installation::LogMessages() const {
    if (!std::filesystem::exists(log())) return {};
    std::vector<std::string> messages;
    for (const std::string& line : Lines(ReadFileBytes(log()), "\r\n")) {
        messages.push_back(line.size() > 25 ? line.substr(25) : line);
    }
    return messages;
}

std::map<std::string, std::string> Installation::Environment() const {
    std::map<std::string, std::string> env = {{"HOME", home().string()},
                                              {"XDG_CONFIG_HOME", (home() / ".config").string()},
                                              {"XDG_CACHE_HOME", (home() / ".cache").string()},
                                              {"VESK_UI", "headless"},
                                              {"VESK_CLOCK", "virtual"},
                                              {"VESK_INTERNET", "online"},
                                              {"LC_ALL", "C.UTF-8"}};
    for (const auto& [name, value] : m_extraEnv) env[name] = value;
    return env;
}

ChildProcess::Options Installation::UpdaterOptions(std::vector<std::string> args) const {
    ChildProcess::Options options;
    options.args = std::move(args);
    options.setEnv = Environment();
    // No display or runtime folder of the test's surroundings; one the test set for it stays.
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "XDG_RUNTIME_DIR"})
        if (!m_extraEnv.contains(name)) options.unsetEnv.push_back(name);
    return options;
}

int Installation::RunUpdater(std::vector<std::string> args, std::string* errors) const {
    ChildProcess updater;
    if (!updater.Start(UpdaterPath(), UpdaterOptions(std::move(args)))) return -1;
    const int code = updater.Wait();
    if (errors) *errors = updater.Error();
    return code;
}

}  // namespace vesk::test
