// Start-up of the real program under a private Xvfb:
//   manual mode    - from the moment the process is started until its main window is mapped on the
//                    display (seen as the X server's MapNotify, not by polling);
//   automatic mode - resident memory (VmRSS) once start-up has settled: the settings row has been
//                    read from a private server a second after start, the tray icon sits in a tray
//                    host, and two readings half a second apart agree within 1%.
// One untimed start first, so that every timed one finds the program and its libraries cached.
//
// bench_startup; BENCH_RUNS starts of each (default 9 manual, 3 automatic, at most as many automatic as
// manual).

#include <poll.h>
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include "bench/BenchSupport.h"
#include "tests/e2e/support/Desktop.h"
#include "tests/support/AppDatabase.h"

namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testsupport::ProgramFolder;
using testsupport::RunningProgram;
using testsupport::XDisplay;

// Watches the display for top-level windows being mapped.
class MapWatcher {
 public:
  explicit MapWatcher(const XDisplay& display) {
    // xcb finds the display's cookie through XAUTHORITY; this benchmark has no other display.
    ::setenv("XAUTHORITY", display.AuthorityFile().c_str(), 1);
    connection_ = xcb_connect(display.Name().c_str(), nullptr);
    if (xcb_connection_has_error(connection_)) throw std::runtime_error("cannot open " + display.Name());
    root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection_);
  }
  ~MapWatcher() { xcb_disconnect(connection_); }
  MapWatcher(const MapWatcher&) = delete;
  MapWatcher& operator=(const MapWatcher&) = delete;

  // Forgets events that arrived before now (the windows of earlier starts).
  void Drain() {
    SyncWithServer();
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection_))
      std::free(event);
  }

  // Waits until an ordinary top-level window is mapped; false on time-out.
  bool WaitForMap(std::chrono::milliseconds timeout) {
    const auto deadline = bench::Clock::now() + timeout;
    for (;;) {
      while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
        const bool mapped = (event->response_type & 0x7f) == XCB_MAP_NOTIFY &&
                            !reinterpret_cast<xcb_map_notify_event_t*>(event)->override_redirect;
        std::free(event);
        if (mapped) return true;
      }
      if (xcb_connection_has_error(connection_)) return false;
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - bench::Clock::now());
      if (left.count() <= 0) return false;
      pollfd descriptor{xcb_get_file_descriptor(connection_), POLLIN, 0};
      ::poll(&descriptor, 1, static_cast<int>(left.count()));
    }
  }

 private:
  void SyncWithServer() {
    std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
  }

  xcb_connection_t* connection_ = nullptr;
  xcb_window_t root_ = 0;
};

double ManualStart(const XDisplay& display, MapWatcher& watcher, const ProgramFolder& folder) {
  watcher.Drain();
  const auto start = bench::Clock::now();
  RunningProgram program(display, folder, {"MANUAL"});
  if (!watcher.WaitForMap(20s)) throw std::runtime_error("the window was never mapped: " + program.Output());
  return bench::SecondsSince(start);
}

// VmRSS of an automatic-mode start once it has settled, in kilobytes.
long IdleAutomaticKilobytes(const XDisplay& display, const ProgramFolder& folder) {
  RunningProgram program(display, folder, {});
  std::this_thread::sleep_for(3s);  // the settings load runs a second after start
  long previous = bench::StatusKilobytes(program.Pid(), "VmRSS");
  for (int reading = 0; reading < 20; ++reading) {
    std::this_thread::sleep_for(500ms);
    const long now = bench::StatusKilobytes(program.Pid(), "VmRSS");
    if (now < 0 || !program.Running()) throw std::runtime_error("the program ended: " + program.Output());
    if (std::abs(now - previous) * 100 <= previous) return now;
    previous = now;
  }
  return previous;
}

}  // namespace

int main() {
  try {
    testsupport::FirebirdServer server;
    const auto database = testsupport::CreateAppDatabase(server, "BENCH_STARTUP");
    ProgramFolder folder;
    folder.WriteIni(server.Location(database), "Linux");

    XDisplay display(true);
    MapWatcher watcher(display);
    ManualStart(display, watcher, folder);
    const int runs = bench::RunCount(9);
    std::vector<double> starts;
    for (int run = 0; run < runs; ++run) {
      starts.push_back(ManualStart(display, watcher, folder));
      std::printf("  manual start %d: window mapped after %.3f s\n", run + 1, starts.back());
      std::fflush(stdout);
    }
    const double start = bench::Median(starts);
    bench::Report("Start-up to the window shown, manual mode", bench::Fixed(start, 3) + " s", "-", "-",
                  "<= 0.5 s", start <= 0.5);

    std::vector<double> residents;
    for (int run = 0; run < std::min(runs, 3); ++run) {
      residents.push_back(static_cast<double>(IdleAutomaticKilobytes(display, folder)) * 1024 / 1e6);
      std::printf("  automatic start %d: %.1f MB resident when idle\n", run + 1, residents.back());
      std::fflush(stdout);
    }
    const double resident = bench::Median(residents);
    bench::Report("Resident memory (VmRSS), automatic mode, idle", bench::Fixed(resident, 1) + " MB", "-",
                  "-", "<= 60 MB", resident <= 60);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "bench_startup: %s\n", error.what());
    return 1;
  }
  return 0;
}
