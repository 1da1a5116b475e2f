#include "LibLog.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>

#include "fs/Paths.h"
#include "text/Utf.h"

namespace vesk::tsp {
namespace {

constexpr const char* kLogFileName = "Tirsa_TSP_Temp.log";

const std::string& LogPath() {
    static const std::string path = LibLogPathFor(fs::NativePath(fs::ExecutablePath()));
    return path;
}

clock::LocalTime UtcNow() {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm parts{};
    gmtime_r(&now, &parts);
    return clock::FromCalendar(parts);
}

}  // namespace

std::wstring FormatLibLogRecord(const clock::LocalTime& utc, std::wstring_view message) {
    std::wstring record = L"\n [" + std::to_wstring(utc.year) + L"/" + std::to_wstring(utc.month) +
                          L"/" + std::to_wstring(utc.day) + L" " + std::to_wstring(utc.hour) +
                          L":" + std::to_wstring(utc.minute) + L":" + std::to_wstring(utc.second) +
                          L"] ";
    record.append(message);
    if (record.size() > kLibLogRecordLimit) record.resize(kLibLogRecordLimit);
    return record;
}

std::string LibLogPathFor(const std::string& executablePath) {
    const std::size_t slash = executablePath.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string("./") : executablePath.substr(0, slash + 1);
    return folder + kLogFileName;
}

void LibLog(std::wstring_view message) {
    if (kLibLogEnabled) LibLogRefusal(message);
}

void LibLogRefusal(std::wstring_view message) {
    const std::string bytes = text::WideToUtf8(FormatLibLogRecord(UtcNow(), message));
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    if (std::FILE* file = std::fopen(LogPath().c_str(), "a+e")) {
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
}

}  // namespace vesk::tsp
