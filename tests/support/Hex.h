#pragma once

#include <string>
#include <string_view>

namespace testsupport {

// The bytes written as two hex digits each ("7469" is "ti"): the form in which the build hands a test
// the passwords it compiles in, so that their plain text never appears in a test program either.
std::string FromHex(std::string_view hex);

}  // namespace testsupport
