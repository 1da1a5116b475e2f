#pragma once
// The update log, VESKUpdateLog.txt: one time-stamped line per call, written in the ANSI
// code page and flushed before the writer returns. Open once at start-up, close once at
// exit; WriteUpdateLog is safe from any thread in between.

#include <cstddef>
#include <span>
#include <string>

#include "clock/Clock.h"
#include "text/WideFormat.h"

// A formatted message holds at most this many characters (terminator excluded); a longer
// one is cut.
inline constexpr std::size_t kUpdateLogMessageChars = 2047;
// The converted message and its CR LF take at most this many bytes.
inline constexpr std::size_t kUpdateLogLineBytes = 2047;

// Joins folder and file name and opens the file with the given mode ("w+" truncates).
// False, and nothing changed, when either is absent or the folder is empty; otherwise
// whether the file could be opened.
bool OpenUpdateLog(const wchar_t* folder, const wchar_t* fileName, const wchar_t* mode);

// Writes one entry; false only when the format is absent. With no open log the entry is
// dropped and the call still succeeds.
bool WriteUpdateLogArgs(const wchar_t* format,
                        std::span<const vesk::text::FormatArg> args) noexcept;

template <class... Args>
bool WriteUpdateLog(const wchar_t* format, const Args&... args) {
    if constexpr (sizeof...(Args) == 0) {
        return WriteUpdateLogArgs(format, {});
    } else {
        const vesk::text::FormatArg list[] = {vesk::text::FormatArg(args)...};
        return WriteUpdateLogArgs(format, list);
    }
}

bool CloseUpdateLog();

// "2027-03-01 09:05:03:007  ": the time stamp that starts every entry, two blanks included.
std::string FormatUpdateLogTimeStamp(const vesk::clock::LocalTime& time);

// A wide literal of this source file's name, for the messages that name their call site.
#define VESK_WIDEN2(x) L##x
#define VESK_WIDEN(x) VESK_WIDEN2(x)
#define VESK_WFILE VESK_WIDEN(__FILE_NAME__)
