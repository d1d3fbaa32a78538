#pragma once

#include <string>
#include <string_view>

namespace core {

// The program works in UTF-8, the file system's encoding; the log, the server's lines and the database's
// texts are code page 1252, and a server names its files in its own system's encoding.

// A text of a settings file: UTF-8 when it is valid UTF-8 (as an editor on this system writes it), else
// code page 1252 (as the file was written on Windows).
std::string DecodeFileText(std::string_view bytes);

// A name as the server's file system spells it: UTF-8 on a "Linux" server, code page 1252 otherwise.
std::string ServerText(std::string_view utf8, std::string_view serverSystem);
// The inverse, for showing what the server was sent.
std::string FromServerText(std::string_view bytes, std::string_view serverSystem);

// A text as the log and the transcript keep it (code page 1252; a character it lacks becomes "?").
std::string LogText(std::string_view utf8);

}  // namespace core
