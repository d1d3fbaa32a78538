#include "platform/LinuxSystem.h"

namespace platform {
namespace {

System* current = nullptr;

}  // namespace

System& Machine() {
  static LinuxSystem machine;
  return machine;
}

System& Current() {
  return current != nullptr ? *current : Machine();
}

void SetCurrent(System* system) {
  current = system;
}

}  // namespace platform
