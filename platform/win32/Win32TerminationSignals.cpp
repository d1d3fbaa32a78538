#include <fcntl.h>
#include <io.h>
#include <signal.h>
#include <windows.h>

#include <mutex>
#include <utility>

#include "platform/Machine.h"

namespace platform {
namespace {

// Windows has no signals for these; its console control events stand for them, under the numbers the
// program already knows: Ctrl+C and Ctrl+Break are INT, the console window closed is HUP (the terminal went
// away), a log-off or a shutdown is TERM.
constexpr int kHangUp = 1;

int SignalOf(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      return SIGINT;
    case CTRL_CLOSE_EVENT:
      return kHangUp;
    default:
      return SIGTERM;
  }
}

// What the handler, on the system's own thread, hands to the program's loop.
struct Arrivals {
  std::mutex mutex;
  std::vector<int> pending;
  // A byte per event, so that a reader that waits on the descriptor wakes.
  int readEnd = -1;
  int writeEnd = -1;
};

Arrivals& State() {
  // Never destroyed: the system may call the handler while the process ends.
  static Arrivals* arrivals = new Arrivals;
  return *arrivals;
}

BOOL WINAPI OnControlEvent(DWORD event) {
  const int signal = SignalOf(event);
  Arrivals& state = State();
  {
    const std::lock_guard lock(state.mutex);
    bool known = false;
    for (int pending : state.pending)
      known = known || pending == signal;
    if (!known) state.pending.push_back(signal);
    if (state.writeEnd >= 0) _write(state.writeEnd, "s", 1);
  }
  // Ctrl+C and Ctrl+Break: taken, the program goes on and stops from its own loop. For a closed window, a
  // log-off or a shutdown the system ends the process once this handler returns, so it does not: the
  // program's own end (its job finished and logged) ends the process first, or the system's time limit.
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) return TRUE;
  Sleep(INFINITE);
  return TRUE;
}

class ConsoleControlSignals final : public TerminationSignals {
 public:
  int Descriptor() const override { return State().readEnd; }

  std::vector<int> TakeArrived() override {
    Arrivals& state = State();
    const std::lock_guard lock(state.mutex);
    // Drains what the handler wrote, without waiting: one byte per event, all written under this lock.
    DWORD available = 0;
    const HANDLE pipe = reinterpret_cast<HANDLE>(_get_osfhandle(state.readEnd));
    if (PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) {
      char bytes[64];
      while (available > 0) {
        const int read = _read(state.readEnd, bytes, available < sizeof bytes ? available : sizeof bytes);
        if (read <= 0) break;
        available -= static_cast<DWORD>(read);
      }
    }
    return std::exchange(state.pending, {});
  }
};

}  // namespace

void BlockTerminationSignals() {
  SetConsoleCtrlHandler(&OnControlEvent, TRUE);
}

void RestoreTerminationSignals() {
  SetConsoleCtrlHandler(&OnControlEvent, FALSE);
}

std::unique_ptr<TerminationSignals> MachineTerminationSignals() {
  Arrivals& state = State();
  const std::lock_guard lock(state.mutex);
  if (state.readEnd < 0) {
    int ends[2] = {-1, -1};
    if (_pipe(ends, 4096, _O_BINARY | _O_NOINHERIT) != 0) return nullptr;
    state.readEnd = ends[0];
    state.writeEnd = ends[1];
  }
  return std::make_unique<ConsoleControlSignals>();
}

}  // namespace platform
