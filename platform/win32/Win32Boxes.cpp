#include <windows.h>

#include "Wide.h"
#include "platform/Machine.h"

namespace platform {
namespace {

// The system's message box, modal for the whole program, with its one "OK" button.
class Win32Boxes final : public Boxes {
 public:
  void ShowMessage(MessageBoxKind kind, std::string_view text) override {
    const wchar_t* title = kind == MessageBoxKind::Error         ? L"Error"
                           : kind == MessageBoxKind::Information ? L"Information"
                                                                 : L"Backup";
    const UINT icon = kind == MessageBoxKind::Error || kind == MessageBoxKind::StandardError ? MB_ICONERROR
                      : kind == MessageBoxKind::Information ? MB_ICONINFORMATION
                                                            : 0;
    MessageBoxW(nullptr, win32::ToWide(text).c_str(), title, MB_OK | MB_TASKMODAL | icon);
  }
};

}  // namespace

std::unique_ptr<Boxes> MachineBoxes() {
  return std::make_unique<Win32Boxes>();
}

}  // namespace platform
