#include <ibase.h>

#include <cstring>

#include "tests/double/RealLibrary.h"

namespace fbdouble {
namespace {

// The library's two number routines are plain arithmetic, the same on every system: a little-endian
// signed integer of up to four (portable: eight) bytes.
ISC_INT64 LittleEndian(const ISC_UCHAR* bytes, short length) {
  if (bytes == nullptr || length <= 0 || length > 8) return 0;
  ISC_UINT64 value = 0;
  for (short i = 0; i < length; ++i)
    value |= static_cast<ISC_UINT64>(bytes[i]) << (8 * i);
  // Sign-extended from the last byte given.
  if (length < 8 && (bytes[length - 1] & 0x80) != 0) value |= ~ISC_UINT64{0} << (8 * length);
  ISC_INT64 result = 0;
  std::memcpy(&result, &value, sizeof result);
  return result;
}

ISC_LONG VaxInteger(const ISC_SCHAR* bytes, short length) {
  return length > 4 ? 0
                    : static_cast<ISC_LONG>(LittleEndian(reinterpret_cast<const ISC_UCHAR*>(bytes), length));
}

ISC_INT64 PortableInteger(const ISC_UCHAR* bytes, short length) {
  return LittleEndian(bytes, length);
}

}  // namespace

// Debian has no Windows build of the client library. Under Wine the double answers the server calls
// itself (forwarding finds no entry point and reports the library missing) and does the number routines
// as the library does; the message routines, whose texts only the library's message file holds, stay
// unanswered, and the tests that read those texts run on Linux only.
void* RealSymbol(const char* name) {
  if (std::strcmp(name, "isc_vax_integer") == 0) return reinterpret_cast<void*>(&VaxInteger);
  if (std::strcmp(name, "isc_portable_integer") == 0) return reinterpret_cast<void*>(&PortableInteger);
  return nullptr;
}

}  // namespace fbdouble
