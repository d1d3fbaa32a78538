#include <windows.h>

#include "platform/SharedLibrary.h"
#include "platform/Win32System.h"
#include "platform/Wipe.h"

namespace platform {

System& MachineSystem() {
  static Win32System machine;
  return machine;
}

void WipeBytes(void* bytes, std::size_t size) {
  SecureZeroMemory(bytes, size);
}

std::vector<std::string> ClientLibraryFileNames() {
  // The name of the client library of every Firebird installation on Windows; gds32.dll is the
  // compatibility copy that older installations put in the system folder.
  return {"fbclient.dll", "gds32.dll"};
}

}  // namespace platform
