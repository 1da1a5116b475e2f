#pragma once
// Settings (INI) files with the semantics of the Windows profile functions:
// - "[section]" lines open sections, "key=value" lines hold values; a line of any other
//   shape is kept as it stands but never read as a key;
// - section and key names are trimmed and compared without regard to case; values are
//   trimmed, and one pair of matching surrounding quotes is removed;
// - an absent file, section or key gives the caller's default;
// - a write creates the file, the section (at the end of the file) or the key (after the
//   section's last entry) as needed and keeps every other line as it stood. The new file
//   is written beside the old one and renamed over it, so a crash never leaves half a
//   settings file.
// A new file gets CR LF line ends, an existing one keeps its own; a new section follows one
// blank line. The file's permission bits are kept, and a symbolic link is written through,
// not replaced. Only the first of several equal sections or keys is read or written.
// Files are read as UTF-8 (a byte-order mark is skipped) and lines end in CR LF or LF.
// Every call is safe from any thread; calls in one process are serialised.

#include <cstddef>
#include <string>
#include <string_view>

namespace vesk::profile {

// bufferChars is the caller's buffer size in characters, terminator included, as the
// Windows call takes it: the result holds at most bufferChars - 1 characters. 0 means
// no limit.
std::wstring ReadString(std::wstring_view path, std::wstring_view section, std::wstring_view key,
                        std::wstring_view defaultValue, std::size_t bufferChars = 0);

// The value read as a decimal integer (leading blanks, sign, digits); a key that is
// absent or has an empty value gives the default; a value without digits gives 0.
int ReadInt(std::wstring_view path, std::wstring_view section, std::wstring_view key,
            int defaultValue);

// Returns false when the file cannot be written; the old file then stays as it was. Also
// refused: a folder that does not exist (none is made), a read-only file, a file that
// cannot be read whole (it would be lost), and a section, key or value that would not read
// back as written (line breaks, "]" in a section, "=" in a key or ";" or "[" opening it,
// an empty name).
bool WriteString(std::wstring_view path, std::wstring_view section, std::wstring_view key,
                 std::wstring_view value);

}  // namespace vesk::profile
