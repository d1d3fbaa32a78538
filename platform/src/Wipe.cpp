#include "platform/Wipe.h"

namespace platform {

void WipeString(std::string& text) {
  // Within its capacity the string keeps its buffer.
  text.resize(text.capacity());
  WipeBytes(text.data(), text.size());
  text.clear();
}

}  // namespace platform
