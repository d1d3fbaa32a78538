#include <windows.h>

#include <cstdio>

#include "Wide.h"
#include "platform/Machine.h"

namespace platform {
namespace {

class Win32Process final : public Process {
 public:
  [[noreturn]] void EndProcess(int exitCode) override {
    std::fflush(nullptr);
    // At once, as the old program's immediate end: no exit handlers, no library's detach code.
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(exitCode));
    ExitProcess(static_cast<UINT>(exitCode));
  }

  // With the system's own separators: "C:\Kelmora\kelmora-backup-run.exe".
  std::string ExecutablePath() override { return win32::ToUtf8(win32::ModulePath(nullptr)); }
};

}  // namespace

std::unique_ptr<Process> MachineProcess() {
  return std::make_unique<Win32Process>();
}

}  // namespace platform
