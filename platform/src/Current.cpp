#include "platform/LinuxSystem.h"

namespace platform {
namespace {

System* current = nullptr;

}  // namespace

System& Current() {
  if (current != nullptr) return *current;
  static LinuxSystem machine;
  return machine;
}

void SetCurrent(System* system) {
  current = system;
}

}  // namespace platform
