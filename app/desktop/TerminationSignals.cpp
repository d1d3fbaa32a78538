#include "app/desktop/TerminationSignals.h"

#include <QSocketNotifier>

#include "app/ErrorRoute.h"

namespace app {

TerminationSignals::TerminationSignals(std::unique_ptr<platform::TerminationSignals> watched, QObject* parent)
    : QObject(parent), signals_(std::move(watched)) {
  if (!signals_) return;
  notifier_ = new QSocketNotifier(static_cast<qintptr>(signals_->Descriptor()), QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &TerminationSignals::ReadPending);
}

TerminationSignals::~TerminationSignals() {
  // The notifier must stop watching before the descriptor is closed.
  delete notifier_;
}

void TerminationSignals::ReadPending() {
  for (const int signalNumber : signals_->TakeArrived()) {
    Guarded([&] {
      if (OnSignal) OnSignal(signalNumber);
    });
  }
}

}  // namespace app
