// Windows-1251 <-> UTF-8: the program's narrow strings are 1251, the rest of Linux is UTF-8.
// Pure functions without Qt, so the command-line tool can print the program's texts too.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kvarlo {

// The Unicode code point of one 1251 byte; 0x98 (unassigned) maps to U+FFFD.
char32_t cp1251ToCodePoint(unsigned char byte);

// The 1251 byte of a code point, or nothing when 1251 has no such character.
std::optional<unsigned char> codePointToCp1251(char32_t codePoint);

// Every 1251 string has a UTF-8 form.
std::string cp1251ToUtf8(std::string_view text);

// Nothing when the text is not valid UTF-8 or holds a character 1251 cannot represent.
std::optional<std::string> utf8ToCp1251(std::string_view text);

}  // namespace kvarlo
