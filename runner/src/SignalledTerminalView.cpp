#include "SignalledTerminalView.h"

namespace runner {

bool SignalledTerminalView::StopWanted() {
  if (!stopWanted_ && signals_ != nullptr) stopWanted_ = !signals_->TakeArrived().empty();
  return stopWanted_;
}

}  // namespace runner
