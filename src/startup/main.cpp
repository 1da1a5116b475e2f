#include <clocale>
#include <string>
#include <vector>

#include "VeskUpdateApp.h"
#include "clock/Clock.h"
#include "fs/Paths.h"
#include "process/ProcessEnd.h"

int main(int argc, char** argv) {
    // The locale's character set stands in for the ANSI code page of the log.
    std::setlocale(LC_ALL, "");
    vesk::clock::InstallClockFromEnvironment();

    std::vector<std::wstring> arguments;
    for (int i = 1; i < argc; ++i) arguments.push_back(vesk::fs::WidePath(argv[i]));

    CVeskUpdateApp app(std::move(arguments));
    app.InitInstance();
    // Threads of the update may still run: the process ends without destructors.
    vesk::process::EndProcessNow(app.ExitInstance());
}
