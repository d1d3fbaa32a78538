#include "platform/MachineSystem.h"

namespace platform {
namespace {

System* current = nullptr;

}  // namespace

System& Current() {
  if (current != nullptr) return *current;
  static MachineSystem machine;
  return machine;
}

void SetCurrent(System* system) {
  current = system;
}

}  // namespace platform
