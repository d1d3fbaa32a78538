#include <string.h>

#include "platform/Wipe.h"

namespace platform {

void WipeBytes(void* bytes, std::size_t size) {
  explicit_bzero(bytes, size);
}

}  // namespace platform
