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

std::map<std::string, std::string> Installation::Environment() const {
    return {{"HOME", home().string()},
            {"XDG_CONFIG_HOME", (home() / ".config").string()},
            {"XDG_CACHE_HOME", (home() / ".cache").string()},
            {"VESK_UI", "headless"},
            {"VESK_CLOCK", "virtual"},
            {"LC_ALL", "C.UTF-8"}};
}

ChildProcess::Options Installation::UpdaterOptions(std::vector<std::string> args) const {
    ChildProcess::Options options;
    options.args = std::move(args);
    options.setEnv = Environment();
    options.unsetEnv = {"DISPLAY", "WAYLAND_DISPLAY"};
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
