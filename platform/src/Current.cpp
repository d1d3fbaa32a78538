#include "Machine.h"

namespace platform {
namespace {

System* current = nullptr;

}  // namespace

System& Current() {
  if (current != nullptr) return *current;
  return MachineSystem();
}

void SetCurrent(System* system) {
  current = system;
}

}  // namespace platform
