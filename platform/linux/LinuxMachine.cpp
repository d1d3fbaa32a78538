#include <string.h>

#include "platform/LinuxSystem.h"
#include "platform/SharedLibrary.h"
#include "platform/Wipe.h"

namespace platform {

System& MachineSystem() {
  static LinuxSystem machine;
  return machine;
}

void WipeBytes(void* bytes, std::size_t size) {
  explicit_bzero(bytes, size);
}

std::vector<std::string> ClientLibraryFileNames() {
  // The library's soname first; the development link and the old InterBase name after it.
  return {"libfbclient.so.2", "libfbclient.so", "libgds.so"};
}

}  // namespace platform
