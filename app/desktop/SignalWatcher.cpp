#include "app/desktop/SignalWatcher.h"

#include <QSocketNotifier>

#include "app/ErrorRoute.h"

namespace app {

SignalWatcher::SignalWatcher(std::unique_ptr<platform::TerminationSignals> watched, QObject* parent)
    : QObject(parent), signals_(std::move(watched)) {
  if (!signals_) return;
  notifier_ = new QSocketNotifier(static_cast<qintptr>(signals_->Descriptor()), QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &SignalWatcher::ReadPending);
}

SignalWatcher::~SignalWatcher() {
  // The notifier must stop watching before the descriptor is closed.
  delete notifier_;
}

void SignalWatcher::ReadPending() {
  for (const int signalNumber : signals_->TakeArrived()) {
    Guarded([&] {
      if (OnSignal) OnSignal(signalNumber);
    });
  }
}

}  // namespace app
