#pragma once
// The application object: start-up on the main thread (one copy only, language, texts,
// log, the running-client check), then the update window; ExitInstance gives the exit code.

#include <string>
#include <vector>

#include "process/InstanceGuard.h"

class CVeskUpdateApp {
public:
    // The command-line arguments after the program name.
    explicit CVeskUpdateApp(std::vector<std::wstring> arguments);

    // Always false: the program ends through ExitInstance when it returns.
    bool InitInstance();
    // Releases what start-up took and returns the exit code, 1.
    int ExitInstance();

    // The four arguments passed on to the client, when exactly four were given.
    const std::vector<std::wstring>& ClientArguments() const { return m_clientArguments; }

private:
    bool PrepareUserFolder();
    void PrepareProgramFolder();
    void SettleLanguage();
    bool LoadStringTable();
    bool RestartRunningClient();
    void RunUpdateWindow();

    std::vector<std::wstring> m_clientArguments;
    vesk::process::InstanceGuard m_instanceGuard;
};
