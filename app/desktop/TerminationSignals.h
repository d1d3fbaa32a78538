#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace app {

// TERM (a session logout, systemd, an administrator's kill), INT (Ctrl+C in a terminal) and HUP (the
// terminal went away) ask the program to end. They must end it the way "Sair" does, on the user-interface
// thread, so that a running job finishes and logs its block first. A handler cannot do that, and the
// Firebird client library installs its own TERM and INT handlers whenever it is loaded, replacing any
// installed before. So the three signals are blocked in every thread from the start of main() and read
// from a signal file descriptor by the message loop; no handler of anyone ever runs for them.

// Blocks the three signals in the calling thread. Called first thing in main(), before any thread
// exists, so that every thread started later (by Qt or by the client library) inherits the mask.
void BlockTerminationSignals();

// The three signals back to their default action and unblocked in the calling thread. For a child
// process between fork and exec (a mask survives exec), so that a program the user launches from here
// can be ended as usual; and for this process when the signals cannot be read. Async-signal-safe.
void RestoreTerminationSignals();

// Reads the blocked signals on the message loop and hands each one to OnSignal. OnSignal runs through
// Guarded, so nothing it throws crosses the loop.
class TerminationSignals : public QObject {
  Q_OBJECT

 public:
  explicit TerminationSignals(QObject* parent = nullptr);
  ~TerminationSignals() override;
  TerminationSignals(const TerminationSignals&) = delete;
  TerminationSignals& operator=(const TerminationSignals&) = delete;

  // False when the system gave no signal descriptor; nothing is read then.
  bool Watching() const { return descriptor_ >= 0; }

  std::function<void(int signalNumber)> OnSignal;

 private:
  void ReadPending();

  int descriptor_ = -1;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace app
