#include "BrowserPlugins.h"

#include "ProcessIsRunning.h"
#include "StringTable.h"
#include "UpdateLog.h"
#include "fs/Files.h"
#include "fs/Paths.h"

namespace {

constexpr const wchar_t* kPluginFiles[] = {L"plugins/VeskPluginIE.dll",
                                           L"plugins/npVeskPluginFF.dll"};
constexpr const wchar_t* kBrowsers[] = {L"iexplore.exe", L"firefox.exe", L"chrome.exe"};
constexpr wchar_t kRetryTextKey[] = L"IDS_POPDLG_RETRY_TEXT";
constexpr wchar_t kRetryTitleKey[] = L"IDS_POPDLG_RETRY_TITLE";
constexpr wchar_t kAskingLine[] = L"Plug-in %s is in use, asking to close the browsers.";
constexpr wchar_t kGiveUpLine[] = L"Plug-in release declined,exit.";
constexpr int kAnswerOk = 1;

// The question's text: the table's text, then the running browsers, a blank after each but
// the last in the list.
std::wstring QuestionText() {
    std::wstring text = TheStringTable().GetString(kRetryTextKey);
    for (const wchar_t* browser : kBrowsers) {
        if (!ProcessIsRunning(browser, nullptr, /*fullPathOnly=*/false)) continue;
        text += browser;
        if (browser != kBrowsers[std::size(kBrowsers) - 1]) text += L' ';
    }
    return text;
}

}  // namespace

PluginRelease ReleaseBrowserPlugins(const std::wstring& programFolder,
                                    const AskToCloseBrowsers& ask) {
    const std::wstring folder = vesk::fs::WithTrailingSlash(programFolder);
    for (const wchar_t* plugin : kPluginFiles) {
        const std::wstring path = folder + plugin;
        while (IsFileLocked(path)) {
            WriteUpdateLog(kAskingLine, path);
            // Without a way to ask, nobody can confirm that the browsers are closed.
            const int answer =
                ask ? ask(QuestionText(), TheStringTable().GetString(kRetryTitleKey)) : 0;
            if (answer != kAnswerOk) {
                WriteUpdateLog(kGiveUpLine);
                return PluginRelease::GiveUp;
            }
        }
    }
    return PluginRelease::GoOn;
}

bool IsFileLocked(const std::wstring& path) {
    // Root may open a read-only file for writing; it still counts as one that cannot be.
    const auto attributes = vesk::fs::GetAttributes(path);
    return vesk::fs::IsFileLocked(path) || (attributes && attributes->readOnly);
}
