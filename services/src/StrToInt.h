#pragma once

#include <cstdint>
#include <string>

namespace services {

// A decimal 32-bit signed integer, optionally preceded by blanks and a sign. Anything else, an empty
// text or a value out of range raises EConvertError "'%s' is not a valid integer value".
std::int32_t StrToInt(const std::string& text);

}  // namespace services
