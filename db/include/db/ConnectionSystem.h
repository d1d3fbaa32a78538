#pragma once

#include <concepts>

#include "platform/Clock.h"
#include "platform/Environment.h"
#include "platform/Libraries.h"

namespace db {

// What a connection asks of the system, handed in by whoever makes it: the environment (the ISC_*
// fallbacks of an attach, the key the password is kept scrambled with), the clock (cursor names, the
// pause between attempts to start a transaction) and the loader the client library is bound through
// when this connection is the first to need it. Each must outlive the connection.
struct ConnectionSystem {
  ConnectionSystem(platform::Environment& environment, platform::Clock& clock, platform::Libraries& libraries)
      : environment(environment), clock(clock), libraries(libraries) {}
  // From one object that answers all three, as the program's system does.
  template <class System>
  requires std::derived_from<System, platform::Environment> && std::derived_from<System, platform::Clock> &&
      std::derived_from<System, platform::Libraries>
      ConnectionSystem(System& system) : environment(system), clock(system), libraries(system) {}

  platform::Environment& environment;
  platform::Clock& clock;
  platform::Libraries& libraries;
};

}  // namespace db
