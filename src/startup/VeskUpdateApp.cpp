#include "VeskUpdateApp.h"

#include "AppFiles.h"
#include "InstanceLockFile.h"
#include "ProcessIsRunning.h"
#include "SkinSource.h"
#include "StringTable.h"
#include "UpdateLog.h"
#include "UpdateSettings.h"
#include "VeskUpdateDlg.h"
#include "clock/Clock.h"
#include "fs/Files.h"
#include "fs/Paths.h"
#include "process/Launch.h"
#include "profile/ProfileFile.h"
#include "text/Number.h"
#include "ui/MakeBackend.h"
#include "ui/System.h"
#include "ui/SystemMessageBox.h"

namespace {

constexpr wchar_t kLocaleSection[] = L"Locale";
constexpr wchar_t kLanguageKey[] = L"Language";
constexpr int kLanguageNotSet = -1;
constexpr auto kStartPause = std::chrono::milliseconds(1000);
constexpr wchar_t kTableErrorText[] = L"The file VeskClient_String_Table.dat cannot be accessed.";
constexpr wchar_t kTableErrorCaption[] = L"Error!";
constexpr int kExitCode = 1;
constexpr wchar_t kGuardUnavailableLine[] =
    L"Instance guard unavailable (%s, error %d), running anyway.";

// Why no guard could be had, for the log line above.
const wchar_t* GuardFailureText(vesk::process::InstanceGuard::Result result) {
    using Result = vesk::process::InstanceGuard::Result;
    switch (result) {
        case Result::NoFile:
            return L"no per-user folder holds the lock file";
        case Result::CannotOpen:
            return L"the lock file cannot be opened";
        case Result::NotOwnFile:
            return L"the lock file is no plain file of this user's";
        case Result::CannotLock:
            return L"the lock file cannot be locked";
        default:
            return L"unexpected result";
    }
}

}  // namespace

CVeskUpdateApp::CVeskUpdateApp(std::vector<std::wstring> arguments) {
    // Only a command line of exactly four arguments means anything.
    if (arguments.size() == 4) m_clientArguments = std::move(arguments);
}

bool CVeskUpdateApp::InitInstance() {
    using GuardResult = vesk::process::InstanceGuard::Result;
    // Only another copy's lock turns this one away; a guard that cannot be had at all must
    // not keep the updater from ever running.
    const GuardResult guard = m_instanceGuard.TryAcquire(
        InstanceLockFile(vesk::fs::ExecutableFolder()).value_or(std::wstring()));
    if (guard == GuardResult::HeldElsewhere) return false;
    if (!PrepareUserFolder()) return false;
    PrepareProgramFolder();
    OpenUpdateLog(TheUpdateSettings().programFolder.c_str(), kUpdateLogFile, L"w+");
    if (guard != GuardResult::Acquired)
        WriteUpdateLog(kGuardUnavailableLine, GuardFailureText(guard), m_instanceGuard.LastError());
    SettleLanguage();
    if (!LoadStringTable()) {
        vesk::ui::ShowSystemMessageBox(kTableErrorText, kTableErrorCaption);
        return false;
    }
    vesk::clock::Sleep(kStartPause);
    if (RestartRunningClient()) return false;
    RunUpdateWindow();
    return false;
}

int CVeskUpdateApp::ExitInstance() {
    CloseUpdateLog();
    return kExitCode;
}

bool CVeskUpdateApp::PrepareUserFolder() {
    const auto configFolder = vesk::fs::UserConfigFolder();
    if (!configFolder) return false;
    const std::wstring userFolder = *configFolder + kUserFolderName;
    // A folder that cannot be made only means the user's settings read as defaults.
    vesk::fs::CreateFolderTree(userFolder);
    TheUpdateSettings().userSettingsPath = userFolder + kSettingsFile;
    return true;
}

void CVeskUpdateApp::PrepareProgramFolder() {
    UpdateSettings& settings = TheUpdateSettings();
    settings.programFolder = vesk::fs::ExecutableFolder();
    vesk::fs::SetCurrentDirectory(settings.programFolder);
}

void CVeskUpdateApp::SettleLanguage() {
    UpdateSettings& settings = TheUpdateSettings();
    const std::wstring& userFile = settings.userSettingsPath;
    int language = vesk::profile::ReadInt(userFile, kLocaleSection, kLanguageKey, kLanguageNotSet);
    if (language == kLanguageNotSet) {
        const std::wstring installFile = settings.programFolder + kSettingsFile;
        language = vesk::profile::ReadInt(installFile, kLocaleSection, kLanguageKey, 0);
        vesk::profile::WriteString(userFile, kLocaleSection, kLanguageKey,
                                   std::to_wstring(language));
    }
    if (m_clientArguments.size() == 4) {
        const int asked = vesk::text::ParseDecimalInt(m_clientArguments[3]);
        if (asked > 0) {
            language = asked;
            vesk::profile::WriteString(userFile, kLocaleSection, kLanguageKey,
                                       std::to_wstring(language));
        }
    }
    settings.language = language;
}

bool CVeskUpdateApp::LoadStringTable() {
    const UpdateSettings& settings = TheUpdateSettings();
    // Any number a settings file holds is a language; those of 0 and below read as English,
    // and the column index must not overflow on the way there.
    const int column = settings.language > 0 ? settings.language - 1 : 0;
    return TheStringTable().Load(settings.programFolder + kStringTableFile, column);
}

bool CVeskUpdateApp::RestartRunningClient() {
    const std::wstring client = TheUpdateSettings().programFolder + kClientProgram;
    if (!ProcessIsRunning(client, nullptr, /*fullPathOnly=*/true)) return false;
    vesk::process::ShellOpen(client);
    return true;
}

void CVeskUpdateApp::RunUpdateWindow() {
    const UpdateSettings& settings = TheUpdateSettings();
    WriteUpdateLog(L"Start-up done: language %d, title \"%s\".", settings.language,
                   TheStringTable().GetString(L"IDS_POPDLG_UPDATE_TITLE"));
    SetSkinSource({[](std::wstring_view key) { return TheStringTable().GetString(key); },
                   settings.programFolder, settings.language});
    // The window system outlives every worker: the process ends without taking it down.
    static_cast<void>(new vesk::ui::System(vesk::ui::MakeBackend()));
    CVeskUpdateDlg window(m_clientArguments);
    window.DoModal();
}
