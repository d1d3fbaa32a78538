#include <cstdio>

#include "platform/Machine.h"

namespace platform {
namespace {

// Without a window system the box goes to the standard error stream.
class StandardErrorBoxes final : public Boxes {
 public:
  void ShowMessage(MessageBoxKind kind, std::string_view text) override {
    const char* title = kind == MessageBoxKind::Error         ? "Error"
                        : kind == MessageBoxKind::Information ? "Information"
                                                              : "Backup";
    std::fprintf(stderr, "%s: %.*s\n", title, static_cast<int>(text.size()), text.data());
  }
};

}  // namespace

std::unique_ptr<Boxes> MachineBoxes() {
  return std::make_unique<StandardErrorBoxes>();
}

}  // namespace platform
