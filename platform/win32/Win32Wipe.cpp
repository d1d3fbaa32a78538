#include <windows.h>

#include "platform/Wipe.h"

namespace platform {

void WipeBytes(void* bytes, std::size_t size) {
  SecureZeroMemory(bytes, size);
}

}  // namespace platform
