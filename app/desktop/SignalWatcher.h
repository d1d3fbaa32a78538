#pragma once

#include <QObject>
#include <functional>
#include <memory>

#include "platform/TerminationSignals.h"

class QSocketNotifier;

namespace app {

// TERM, INT and HUP, blocked from the start of main() (platform::BlockTerminationSignals), read on the
// message loop so that they end the program the way "Sair" does, on the user-interface thread: a running
// job finishes and logs its block first.
class SignalWatcher : public QObject {
  Q_OBJECT

 public:
  // Watches the signals the platform gives; nullptr (the system gave no way to read them) watches nothing.
  explicit SignalWatcher(std::unique_ptr<platform::TerminationSignals> watched, QObject* parent = nullptr);
  ~SignalWatcher() override;
  SignalWatcher(const SignalWatcher&) = delete;
  SignalWatcher& operator=(const SignalWatcher&) = delete;

  bool Watching() const { return signals_ != nullptr; }

  // Runs through Guarded, so nothing it throws crosses the loop.
  std::function<void(int signalNumber)> OnSignal;

 private:
  void ReadPending();

  std::unique_ptr<platform::TerminationSignals> signals_;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace app
