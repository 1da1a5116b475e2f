#include "UpdateLog.h"

#include <cstdio>
#include <mutex>

#include "fs/Paths.h"
#include "text/AnsiCodePage.h"

namespace {

// One lock for the whole of an entry, so lines from different threads never interleave and
// their time stamps never run backwards.
std::mutex g_logMutex;
std::FILE* g_logFile = nullptr;

// The Windows mode string, and "e" so that programs we start never inherit the log.
std::string NativeMode(const wchar_t* mode) {
    std::string narrow;
    for (const wchar_t* p = mode; *p; ++p)
        if (*p < 0x80) narrow.push_back(static_cast<char>(*p));
    return narrow + "e";
}

}  // namespace

bool OpenUpdateLog(const wchar_t* folder, const wchar_t* fileName, const wchar_t* mode) {
    if (!folder || !fileName || !mode || !*folder) return false;
    const std::wstring path = std::wstring(folder) + fileName;
    std::lock_guard lock(g_logMutex);
    if (g_logFile) return true;  // the stream is never reopened during a run
    g_logFile = std::fopen(vesk::fs::NativePath(path).c_str(), NativeMode(mode).c_str());
    return g_logFile != nullptr;
}

std::string FormatUpdateLogTimeStamp(const vesk::clock::LocalTime& t) {
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d:%03d  ", t.year, t.month,
                  t.day, t.hour, t.minute, t.second, t.millisecond);
    return buffer;
}

bool WriteUpdateLogArgs(const wchar_t* format,
                        std::span<const vesk::text::FormatArg> args) noexcept {
    if (!format) return false;
    try {
        std::lock_guard lock(g_logMutex);
        if (!g_logFile) return true;
        const std::string stamp = FormatUpdateLogTimeStamp(vesk::clock::LocalNow());
        std::wstring message = vesk::text::FormatWideArgs(format, args);
        if (message.size() > kUpdateLogMessageChars) message.resize(kUpdateLogMessageChars);
        std::string line = vesk::text::WideToAnsi(message, kUpdateLogLineBytes - 2);
        line += "\r\n";
        // A refused write goes unnoticed: the log must never stop the update.
        std::fwrite(stamp.data(), 1, stamp.size(), g_logFile);
        std::fwrite(line.data(), 1, line.size(), g_logFile);
        std::fflush(g_logFile);
    } catch (...) {
        // Out of memory while formatting: the entry is lost, the run goes on.
    }
    return true;
}

bool CloseUpdateLog() {
    std::lock_guard lock(g_logMutex);
    if (g_logFile) std::fclose(g_logFile);
    g_logFile = nullptr;
    return true;
}
