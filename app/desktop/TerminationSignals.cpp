#include "app/desktop/TerminationSignals.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <QSocketNotifier>

#include "app/ErrorRoute.h"

namespace app {
namespace {

sigset_t TerminationSet() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGHUP);
  return set;
}

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

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
  const sigset_t set = TerminationSet();
  descriptor_ = ::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
  if (descriptor_ < 0) return;
  notifier_ = new QSocketNotifier(static_cast<qintptr>(descriptor_), QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &TerminationSignals::ReadPending);
}

TerminationSignals::~TerminationSignals() {
  // The notifier must stop watching before its descriptor is closed.
  delete notifier_;
  if (descriptor_ >= 0) ::close(descriptor_);
}

void TerminationSignals::ReadPending() {
  // Several signals may be pending at once; the descriptor is non-blocking, so the loop ends when
  // nothing is left.
  signalfd_siginfo info;
  while (::read(descriptor_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
    const int signalNumber = static_cast<int>(info.ssi_signo);
    Guarded([&] {
      if (OnSignal) OnSignal(signalNumber);
    });
  }
}

}  // namespace app
