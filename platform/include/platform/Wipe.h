#pragma once

// Passwords are overwritten where they were held once they have been used, so that a core dump or a later
// reader of the freed memory finds zeros. The compiler may not drop these writes.

#include <cstddef>
#include <string>

namespace platform {

void WipeBytes(void* bytes, std::size_t size);

// Overwrites every byte the string's buffer holds, its unused capacity included (a shorter value written
// over a longer one leaves the longer one's tail there), and empties it.
void WipeString(std::string& text);

}  // namespace platform
