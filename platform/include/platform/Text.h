#pragma once

// Byte-wise helpers for the program's single-byte texts (code page 1252, see Cp1252.h), shared by the
// libraries so that each rule has one home. Every byte up to the blank (' ', 32) counts as blank: the
// controls, line ends and tabs as much as the blank itself.

#include <string>
#include <string_view>

namespace platform {

// The text without the blank bytes at either end.
std::string Trim(std::string_view text);

// True when the text has nothing but blank bytes (the empty text too).
bool IsBlank(std::string_view text);

// Every byte in upper case as the C library's current locale has it.
std::string Upper(std::string text);

// 'A' to 'Z' in lower case; every other byte stays as it is, whatever the locale.
char AsciiLower(char c);
std::string AsciiLower(std::string text);

}  // namespace platform
