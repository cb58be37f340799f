// Windows only: the program's Windows-1251 strings and the UTF-16 of the wide (W) calls, in both
// directions. The ANSI calls would read the program's bytes in the system's code page, which is
// 1251 only on a Russian Windows; these conversions do not depend on it.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace kvarlo::wide {

// Every 1251 byte has a UTF-16 unit; the unassigned 0x98 becomes U+0098, as in Windows' own
// table, so that every byte comes back unchanged. A null text gives an empty string; a negative
// length reads up to the terminating zero.
std::wstring widen(const char* text, int length = -1);

// Nothing when any unit has no 1251 byte (surrogates included): a file name must not change.
std::optional<std::string> narrowExact(std::wstring_view text);

// Every unit gives one byte, '?' for those 1251 lacks: what the ANSI calls hand back for texts
// the program only shows (resource strings, window and menu texts).
std::string narrowLossy(std::wstring_view text);

// A path the file system gave: its 1251 form, or when a folder name holds characters 1251
// lacks (an English or German user's folder, say) its short 8.3 form when that fits 1251, so
// that the program's own folder still works; nothing when neither fits.
std::optional<std::string> narrowPath(const std::wstring& path);

// A filter list of the file dialogs: pairs of zero-terminated texts closed by an empty one.
std::wstring widenFilter(const char* filter);

// Copies `text` and its terminating zero into a buffer of `size` bytes, cut to fit; returns the
// number of bytes copied without the zero (0 when the buffer has no room at all).
int copyTerminated(const std::string& text, char* buffer, int size);

// The answer of a wide file dialog handed over in the program's strings: the chosen path (and
// file title) into the caller's buffers, with the offsets of name and extension, the filter
// index and the read-only flag. False, and the caller's structure untouched, when the name has
// a character 1251 lacks. The caller's buffers are as long as the wide ones, so the 1251 form,
// one byte a unit, always fits.
bool deliverDialogResult(const OPENFILENAMEW& answer, OPENFILENAMEA& ofn);

}  // namespace kvarlo::wide
