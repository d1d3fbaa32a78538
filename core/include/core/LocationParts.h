#pragma once

#include <string>
#include <string_view>

namespace core {

// The server part of a database location: the text before its first ":", empty when there is none.
std::string ServerPart(std::string_view location);
// The path part: the text after the first ":", the whole location when there is none.
std::string PathPart(std::string_view location);
// A copy of text with every character from replaced by to.
std::string ReplaceChar(std::string_view text, char from, char to);

}  // namespace core
