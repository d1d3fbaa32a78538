#include "platform/Wipe.h"

#include <string.h>

namespace platform {

void WipeBytes(void* bytes, std::size_t size) {
  explicit_bzero(bytes, size);
}

void WipeString(std::string& text) {
  // Within its capacity the string keeps its buffer.
  text.resize(text.capacity());
  WipeBytes(text.data(), text.size());
  text.clear();
}

}  // namespace platform
