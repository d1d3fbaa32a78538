#pragma once

// What the database tests hand a connection of the system: the machine's environment and loader, and
// the machine's clock unless a test puts one of its own in its place.

#include <memory>

#include "db/ConnectionSystem.h"
#include "platform/Machine.h"

namespace db::testing {

class ReplaceableClock : public platform::Clock {
 public:
  // nullptr puts the machine's back.
  void Replace(platform::Clock* clock) { replacement_ = clock; }

  platform::TimePoint Now() override { return InUse().Now(); }
  platform::LocalDateTime ToLocal(platform::TimePoint moment) override { return InUse().ToLocal(moment); }
  char DateSeparator() override { return InUse().DateSeparator(); }
  char TimeSeparator() override { return InUse().TimeSeparator(); }
  void Sleep(std::chrono::milliseconds duration) override { InUse().Sleep(duration); }

 private:
  platform::Clock& InUse() { return replacement_ != nullptr ? *replacement_ : *machine_; }

  std::unique_ptr<platform::Clock> machine_ = platform::MachineClock();
  platform::Clock* replacement_ = nullptr;
};

struct TestSystem {
  std::unique_ptr<platform::Environment> environment = platform::MachineEnvironment();
  ReplaceableClock clock;
  std::unique_ptr<platform::Libraries> libraries = platform::MachineLibraries();

  operator ConnectionSystem() { return {*environment, clock, *libraries}; }
};

// One for the whole test program, for connections that need nothing else of the system.
inline TestSystem& Machine() {
  static TestSystem system;
  return system;
}

}  // namespace db::testing
