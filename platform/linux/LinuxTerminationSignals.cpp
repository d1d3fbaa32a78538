#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include "FileDescriptor.h"
#include "platform/Machine.h"

namespace platform {
namespace {

using linux_system::FileDescriptor;

sigset_t TerminationSet() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGHUP);
  return set;
}

// The blocked signals as a signal file descriptor delivers them: only what is pending for this process
// or for the reading thread, taken off as it is read.
class SignalFileSignals final : public TerminationSignals {
 public:
  explicit SignalFileSignals(FileDescriptor descriptor) : descriptor_(std::move(descriptor)) {}

  int Descriptor() const override { return descriptor_.Get(); }

  std::vector<int> TakeArrived() override {
    // Several may be pending at once; the descriptor does not block, so the loop ends when none is left.
    std::vector<int> arrived;
    signalfd_siginfo info;
    while (::read(descriptor_.Get(), &info, sizeof info) == static_cast<ssize_t>(sizeof info))
      arrived.push_back(static_cast<int>(info.ssi_signo));
    return arrived;
  }

 private:
  FileDescriptor descriptor_;
};

}  // namespace

void BlockTerminationSignals() {
  const sigset_t set = TerminationSet();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void RestoreTerminationSignals() {
  // Default action first: unblocking with a handler still installed would run it for a pending signal.
  struct sigaction defaultAction = {};
  defaultAction.sa_handler = SIG_DFL;
  sigemptyset(&defaultAction.sa_mask);
  sigaction(SIGTERM, &defaultAction, nullptr);
  sigaction(SIGINT, &defaultAction, nullptr);
  sigaction(SIGHUP, &defaultAction, nullptr);
  const sigset_t set = TerminationSet();
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

std::unique_ptr<TerminationSignals> MachineTerminationSignals() {
  const sigset_t set = TerminationSet();
  FileDescriptor descriptor(::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC));
  if (!descriptor.Valid()) return nullptr;
  return std::make_unique<SignalFileSignals>(std::move(descriptor));
}

}  // namespace platform
