#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "ui/Backend.h"
#include "ui/SystemMessageBox.h"

using namespace vesk::ui;

namespace {

struct ChildResult {
    int exitCode = -1;
    std::string standardError;
};

// The backend is decided once per process, so every case runs in a fresh child that sets
// its own environment first; its standard error comes back through a pipe.
ChildResult RunInChild(const std::function<int()>& body) {
    ChildResult result;
    int err[2];
    if (pipe(err) != 0) return result;
    const pid_t child = fork();
    if (child == 0) {
        dup2(err[1], 2);
        close(err[0]);
        close(err[1]);
        _exit(body());
    }
    close(err[1]);
    char buffer[512];
    ssize_t n = 0;
    while ((n = read(err[0], buffer, sizeof buffer)) > 0)
        result.standardError.append(buffer, static_cast<size_t>(n));
    close(err[0]);
    int status = 0;
    if (child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    return result;
}

void SetOrClear(const char* name, const char* value) {
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
}

struct BackendCase {
    const char* ui;
    const char* display;
    Backend expected;
};

}  // namespace

TEST(ChosenBackend, FollowsVeskUiElseTheDisplay) {
    const BackendCase cases[] = {
        {"headless", ":99", Backend::Headless},
        {"sdl", nullptr, Backend::Sdl},
        {nullptr, nullptr, Backend::Headless},
        {"", nullptr, Backend::Headless},
        {"bogus", nullptr, Backend::Headless},
        {nullptr, ":65001", Backend::Headless},  // set, but no server answers there
    };
    for (const BackendCase& c : cases) {
        SCOPED_TRACE(std::string("VESK_UI=") + (c.ui ? c.ui : "(unset)"));
        const ChildResult result = RunInChild([&c] {
            SetOrClear("VESK_UI", c.ui);
            SetOrClear("DISPLAY", c.display);
            unsetenv("WAYLAND_DISPLAY");
            const Backend first = ChosenBackend();
            // Decided once: a later change of the variable does not count.
            setenv("VESK_UI", first == Backend::Sdl ? "headless" : "sdl", 1);
            return first == ChosenBackend() ? static_cast<int>(first) : 99;
        });
        EXPECT_EQ(result.exitCode, static_cast<int>(c.expected));
    }
}

TEST(ShowSystemMessageBox, HeadlessWritesCaptionAndTextToStandardError) {
    const ChildResult result = RunInChild([] {
        setenv("VESK_UI", "headless", 1);
        ShowSystemMessageBox(L"Die Datei fehlt: größe.ini\nZweite Zeile", L"Vesk Update ✓");
        return 0;
    });
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.standardError,
              "Message box: Vesk Update \xE2\x9C\x93\nDie Datei fehlt: gr\xC3\xB6\xC3\x9F"
              "e.ini\nZweite Zeile\n");
}

TEST(ShowSystemMessageBox, SdlWithoutADisplayFallsBackToStandardError) {
    const ChildResult result = RunInChild([] {
        setenv("VESK_UI", "sdl", 1);
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        ShowSystemMessageBox(L"text", L"caption");
        return 0;
    });
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_NE(result.standardError.find("caption\ntext\n"), std::string::npos)
        << result.standardError;
}
