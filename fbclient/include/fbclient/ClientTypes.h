#pragma once

// The client library's C types under this program's own names, so that no public header needs
// <ibase.h>. The sources that call the library include it, and the loader checks that each name is the
// library's own type, so a pointer to one can be handed to the library as it stands.

#include <cstdint>
#include <type_traits>

namespace fbclient {

// ISC_STATUS: an element of a status vector, and what a client call returns.
using StatusValue = std::intptr_t;
// FB_API_HANDLE: the handle of an attachment, a transaction, a statement or a service.
using Handle = std::uint32_t;
// ISC_LONG: the library's 32-bit integer; also the reserved handle of the service calls. The header
// makes it int where long has 64 bits (Linux) and long where long has 32 (Windows): the same type it is.
using ClientLong = std::conditional_t<sizeof(long) == 4, long, int>;

// Elements of a status vector (ISC_STATUS_LENGTH).
inline constexpr int kStatusLength = 20;

}  // namespace fbclient
