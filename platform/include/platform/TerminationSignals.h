#pragma once

#include <memory>
#include <vector>

namespace platform {

// TERM (a session logout, systemd, an administrator's kill), INT (Ctrl+C in a terminal) and HUP (the
// terminal went away) ask the program to end. The program must end the way its own stop does, from its own
// loop, so that a running job finishes and logs its block first. A handler cannot do that, and the
// Firebird client library installs its own TERM and INT handlers whenever it is loaded, replacing any
// installed before. So the three signals are blocked in every thread from the start of main() and read
// from a descriptor; no handler of anyone ever runs for them.

// Blocks the three signals in the calling thread. Called first thing in main(), before any thread
// exists, so that every thread started later (by Qt or by the client library) inherits the mask.
void BlockTerminationSignals();

// The three signals back to their default action and unblocked in the calling thread. For a child
// process between fork and exec (a mask survives exec), so that a program the user launches from here
// can be ended as usual; and for this process when the signals cannot be read. Async-signal-safe.
void RestoreTerminationSignals();

// The blocked signals as they arrive, for a loop to read.
class TerminationSignals {
 public:
  virtual ~TerminationSignals() = default;
  // Becomes readable while a signal waits to be taken: for a loop's watcher (poll, QSocketNotifier).
  virtual int Descriptor() const = 0;
  // The signal numbers that arrived and were not taken yet, in the order they came (a signal sent again
  // before it was taken counts once). Never waits.
  virtual std::vector<int> TakeArrived() = 0;
};

}  // namespace platform
