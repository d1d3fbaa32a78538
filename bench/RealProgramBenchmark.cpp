// The real program as users run it, against gbak. The built kelmora-backup is copied into a program
// folder with its sistema.ini and started on a private Xvfb with a tray host; it backs up a database of
// a private Firebird server, and `gbak -b -v -se` backs up the same database through the same services
// manager into the same folder.
//
//   manual     the program started with MANUAL; a click on "Iniciar" through the X server (an XTEST press and
//              release, as xdotool sends them, from a connection opened beforehand), timed from the moment
//              the click is sent until the job has written its log block (the job opens the log when it
//              begins and closes it once the whole block is in; inotify tells both at once);
//   automatic  the program started without arguments after the settings row was given the next minute
//              as its schedule time; timed from the moment the job opens its log until it closes it,
//              since no click marks the start.
//
// gbak is timed from its start until it ends. Rounds alternate the order: gbak, manual, automatic in one,
// automatic, manual, gbak in the next; the backup folder is emptied and the file system synced before
// every run. An automatic job waits for its minute, so a round takes about a minute. The CPU of the
// program, the Firebird server, the X server and gbak comes from /proc/<pid>/stat (user + system) before
// and after each run; the program's CPU per output line is printed.
//
// bench_real [data|metadata]... [manual|automatic]... (all by default); BENCH_RUNS rounds (default 7).
// BENCH_PROGRAM=path measures another build of the program (an older one, to compare) instead of this one.
// BENCH_PROFILE=folder: after the rounds, one more manual job of each database and one more gbak run under
// `perf record --call-graph dwarf`, the Firebird server recorded during each too (folder/<kind>-manual,
// -gbak, -manual-server and -gbak-server.perf.data; read them with `perf report -i`).

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "bench/BenchDatabases.h"
#include "bench/BenchSupport.h"
#include "bench/LogWatcher.h"
#include "bench/XClicker.h"
#include "tests/e2e/support/Desktop.h"
#include "tests/e2e/support/JobSteps.h"

namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testsupport::FirebirdServer;
using testsupport::ProgramFolder;
using testsupport::RunningProgram;
using testsupport::XDisplay;

constexpr const char* kLogName = "backup.txt";

// CPU seconds used so far by the processes of a run.
struct Cpu {
  double program = 0;
  double server = 0;
  double display = 0;
  double gbak = 0;  // children waited for: gbak, once it has ended
  // Context switches (voluntary and involuntary together): how often each side stopped for the other.
  long programSwitches = 0;
  long serverSwitches = 0;
  long gbakSwitches = 0;

  static long Total(const bench::ContextSwitches& switches) {
    return switches.voluntary + switches.involuntary;
  }

  static Cpu Now(pid_t program) {
    Cpu cpu;
    if (program > 0) {
      cpu.program = bench::ProcessCpuSeconds(program);
      cpu.programSwitches = Total(bench::ProcessContextSwitches(program));
    }
    for (pid_t pid : bench::ChildrenNamed("firebird")) {
      cpu.server += bench::ProcessCpuSeconds(pid);
      cpu.serverSwitches += Total(bench::ProcessContextSwitches(pid));
    }
    for (pid_t pid : bench::ChildrenNamed("Xvfb"))
      cpu.display += bench::ProcessCpuSeconds(pid);
    cpu.gbak = bench::WaitedChildrenCpuSeconds();
    cpu.gbakSwitches = Total(bench::WaitedChildrenContextSwitches());
    return cpu;
  }
  Cpu operator-(const Cpu& before) const {
    return {program - before.program,
            server - before.server,
            display - before.display,
            gbak - before.gbak,
            programSwitches - before.programSwitches,
            serverSwitches - before.serverSwitches,
            gbakSwitches - before.gbakSwitches};
  }
};

// The samples of one side (gbak, manual or automatic) over the rounds.
struct Samples {
  std::vector<double> seconds;
  std::vector<double> ownCpu;  // the program's, or gbak's
  std::vector<double> serverCpu;
  std::vector<double> displayCpu;
  std::vector<double> ownSwitches;
  std::vector<double> serverSwitches;

  void Add(double time, const Cpu& used, bool isGbak) {
    seconds.push_back(time);
    ownCpu.push_back(isGbak ? used.gbak : used.program);
    ownSwitches.push_back(static_cast<double>(isGbak ? used.gbakSwitches : used.programSwitches));
    serverSwitches.push_back(static_cast<double>(used.serverSwitches));
    serverCpu.push_back(used.server);
    displayCpu.push_back(used.display);
  }
};

std::string LocalMinuteText(std::time_t moment) {
  std::tm local{};
  ::localtime_r(&moment, &local);
  char text[8];
  std::strftime(text, sizeof text, "%H:%M", &local);
  return text;
}

// One database's runs: the program folder with the manual-mode program waiting in it, the gbak
// reference and the watch on the backup folder.
class Bench {
 public:
  Bench(const FirebirdServer& server, const XDisplay& display, const fs::path& database)
      : server_(server), display_(display), database_(database), clicker_(display) {
    if (const char* other = std::getenv("BENCH_PROGRAM"); other != nullptr && *other != '\0')
      fs::copy_file(other, folder_.Executable(), fs::copy_options::overwrite_existing);
    folder_.WriteIni(server.Location(database), "Linux");
    fs::create_directories(BackupFolder());
    watcher_.emplace(BackupFolder(), kLogName);
  }

  fs::path BackupFolder() const { return folder_.Path() / "backup"; }
  pid_t ManualPid() const { return manual_ ? manual_->Pid() : -1; }

  void StartManualProgram() {
    manual_ = std::make_unique<RunningProgram>(display_, folder_, std::vector<std::string>{"MANUAL"});
    const std::string window = display_.WaitForWindow("^Backup$");
    if (window.empty()) throw std::runtime_error("the window did not appear: " + manual_->Output());
    std::this_thread::sleep_for(2500ms);  // the settings row is read a second after start
    // The pointer rests on the button; a timed click is then only the press and the release.
    const testsupport::ScreenPoint button = testsupport::IniciarPoint(display_, window);
    clicker_.MoveTo(button.x, button.y);
  }

  // Empties the backup folder and flushes the file system, outside any timing.
  void Prepare() const {
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(BackupFolder()))
      fs::remove_all(entry.path(), ignored);
    bench::SyncFileSystem(BackupFolder());
  }

  double Gbak(Samples& samples, const fs::path& output) {
    Prepare();
    const Cpu before = Cpu::Now(-1);
    const auto start = bench::Clock::now();
    const int rc = bench::RunToFile({"gbak", "-b", "-v", "-se", server_.ServiceManager(), database_.string(),
                                     (BackupFolder() / "reference.gbk").string(), "-user",
                                     FirebirdServer::kUser, "-password", FirebirdServer::kPassword},
                                    output);
    const double seconds = bench::SecondsSince(start);
    if (rc != 0)
      throw std::runtime_error("gbak failed with " + std::to_string(rc) + ", see " + output.string());
    samples.Add(seconds, Cpu::Now(-1) - before, true);
    return seconds;
  }

  double Manual(Samples& samples) {
    Prepare();
    watcher_->Drain();
    const Cpu before = Cpu::Now(ManualPid());
    const auto start = bench::Clock::now();
    clicker_.Click();
    const auto done = WaitForJob(manual_->Output());
    samples.Add(std::chrono::duration<double>(done.second - start).count(), Cpu::Now(ManualPid()) - before,
                false);
    manualOpenLag_.push_back(std::chrono::duration<double>(done.first - start).count());
    return samples.seconds.back();
  }

  double Automatic(Samples& samples) {
    // The next minute that leaves time for the start and the settings load (a second after start).
    const std::time_t minute = (std::time(nullptr) + 6) / 60 * 60 + 60;
    bench::SetSettingsRow(server_, database_, LocalMinuteText(minute));
    Prepare();
    RunningProgram program(display_, folder_, {});
    std::this_thread::sleep_until(std::chrono::system_clock::from_time_t(minute) - 1s);
    if (!program.Running()) throw std::runtime_error("the program ended: " + program.Output());
    bench::SyncFileSystem(BackupFolder());
    watcher_->Drain();
    const Cpu before = Cpu::Now(program.Pid());
    const auto done = WaitForJob(program.Output());
    samples.Add(std::chrono::duration<double>(done.second - done.first).count(),
                Cpu::Now(program.Pid()) - before, false);
    program.Signal(SIGTERM);
    if (!program.WaitForExit(20s)) throw std::runtime_error("the program did not end: " + program.Output());
    return samples.seconds.back();
  }

  // The manual program's job under perf, untimed.
  // The manual program's job and then gbak's run under perf, untimed, sampled alike so that the two
  // profiles compare line for line; the Firebird server is recorded during each as well.
  void Profile(const fs::path& folder, const std::string& kind) {
    const auto record = [&](const std::string& name, pid_t pid) {
      const std::string data = (folder / (kind + "-" + name + ".perf.data")).string();
      return bench::StartToFile({"perf", "record", "--call-graph", "dwarf,16384", "-F", "1000", "-o", data,
                                 "-p", std::to_string(pid)},
                                data + ".txt");
    };
    const auto stop = [](pid_t perf) {
      ::kill(perf, SIGINT);
      bench::WaitForChild(perf);
    };
    const std::vector<pid_t> servers = bench::ChildrenNamed("firebird");
    if (servers.empty()) throw std::runtime_error("no Firebird server to profile");

    Prepare();
    watcher_->Drain();
    pid_t program = record("manual", ManualPid());
    pid_t server = record("manual-server", servers.front());
    std::this_thread::sleep_for(1s);  // perf attaches
    clicker_.Click();
    WaitForJob(manual_->Output());
    stop(program);
    stop(server);

    Prepare();
    server = record("gbak-server", servers.front());
    std::this_thread::sleep_for(1s);
    const std::string data = (folder / (kind + "-gbak.perf.data")).string();
    bench::RunToFile({"perf",
                      "record",
                      "--call-graph",
                      "dwarf,16384",
                      "-F",
                      "1000",
                      "-o",
                      data,
                      "--",
                      "gbak",
                      "-b",
                      "-v",
                      "-se",
                      server_.ServiceManager(),
                      database_.string(),
                      (BackupFolder() / "reference.gbk").string(),
                      "-user",
                      FirebirdServer::kUser,
                      "-password",
                      FirebirdServer::kPassword},
                     data + ".txt");
    stop(server);
  }

  // Lines of the last job's log block.
  long LogLines() const { return bench::CountLines(BackupFolder() / kLogName); }
  double MedianOpenLag() const { return bench::Median(manualOpenLag_); }

 private:
  // The times at which the job opened and closed its log; throws unless it ended with the whole block of
  // a completed backup.
  std::pair<bench::Clock::time_point, bench::Clock::time_point> WaitForJob(const std::string& programOutput) {
    const auto opened = watcher_->WaitForOpen(120s);
    if (!opened) throw std::runtime_error("no job began: " + programOutput);
    const auto closed = watcher_->WaitForWrittenAndClosed(600s);
    if (!closed) throw std::runtime_error("the job did not write its log: " + programOutput);
    const std::string log = testsupport::ReadAll(BackupFolder() / kLogName);
    if (log.find("Backup conclu\xED"
                 "do.\r\n") == std::string::npos ||
        !log.ends_with(std::string(68, '-') + "\r\n\r\n"))
      throw std::runtime_error("the job did not complete:\n" +
                               log.substr(log.size() > 4000 ? log.size() - 4000 : 0));
    return {*opened, *closed};
  }

  const FirebirdServer& server_;
  const XDisplay& display_;
  fs::path database_;
  bench::XClicker clicker_;
  ProgramFolder folder_;
  std::optional<bench::LogWatcher> watcher_;
  std::unique_ptr<RunningProgram> manual_;
  std::vector<double> manualOpenLag_;
};

void PrintSide(const std::string& kind, const char* name, const Samples& samples, long lines, bool isGbak) {
  const double own = bench::Median(samples.ownCpu);
  std::printf(
      "  %s %s: median %.3f s; median CPU seconds: %s %.3f, Firebird %.3f, X %.3f; %s CPU per line %.1f us\n",
      kind.c_str(), name, bench::Median(samples.seconds), isGbak ? "gbak" : "program", own,
      bench::Median(samples.serverCpu), bench::Median(samples.displayCpu),
      isGbak ? "gbak's" : "the program's", own * 1e6 / static_cast<double>(std::max(1L, lines)));
  std::printf("  %s %s: median context switches per line: %s %.2f, Firebird %.2f\n", kind.c_str(), name,
              isGbak ? "gbak" : "program",
              bench::Median(samples.ownSwitches) / static_cast<double>(std::max(1L, lines)),
              bench::Median(samples.serverSwitches) / static_cast<double>(std::max(1L, lines)));
}

void ReportSide(const std::string& label, const std::string& mode, const std::string& kind,
                const Samples& side, const Samples& gbak, long lines, double target) {
  const double ours = bench::Median(side.seconds);
  const double reference = bench::Median(gbak.seconds);
  const double ratio = ours / reference;
  bench::Report(label, bench::Fixed(ours, 3) + " s", "gbak " + bench::Fixed(reference, 3) + " s",
                bench::Fixed(ratio, 3), "<= " + bench::Fixed(target, 2), ratio <= target);
  // The cost the server waits for at every line, against what gbak's own client spends.
  const double perLine = bench::Median(side.ownCpu) * 1e6 / static_cast<double>(std::max(1L, lines));
  const double gbakPerLine = bench::Median(gbak.ownCpu) * 1e6 / static_cast<double>(std::max(1L, lines));
  bench::Report("Program CPU per output line, " + mode + " mode, " + kind + "-heavy database",
                bench::Fixed(perLine, 1) + " us", "gbak " + bench::Fixed(gbakPerLine, 1) + " us",
                bench::Fixed(perLine / gbakPerLine, 2), "-", true);
}

double MedianRatio(const Samples& side, const Samples& gbak) {
  std::vector<double> ratios;
  for (size_t i = 0; i < side.seconds.size() && i < gbak.seconds.size(); ++i)
    ratios.push_back(side.seconds[i] / gbak.seconds[i]);
  return bench::Median(ratios);
}

void Measure(const FirebirdServer& server, const XDisplay& display, const std::string& kind,
             const fs::path& database, double target, bool manual, bool automatic) {
  Bench real(server, display, database);
  bench::ScratchFolder scratch("real-" + kind);
  const fs::path gbakOutput = scratch.Path() / "gbak-output.txt";
  Samples gbak, manualJobs, automaticJobs;
  if (manual) real.StartManualProgram();

  // One untimed run of each warms the server's page cache and gives the line counts.
  Samples untimed;
  real.Gbak(untimed, gbakOutput);
  const long lines = bench::CountLines(gbakOutput);
  if (manual) {
    real.Manual(untimed);
    std::printf("  %s: gbak wrote %ld lines, the manual job's log block has %ld\n", kind.c_str(), lines,
                real.LogLines());
  }

  const int rounds = bench::RunCount(7);
  for (int round = 0; round < rounds; ++round) {
    const bool gbakFirst = round % 2 == 0;
    std::string line = "  " + kind + " round " + std::to_string(round + 1) + ":";
    const auto runGbak = [&] {
      real.Gbak(gbak, gbakOutput);
      line += " gbak " + bench::Fixed(gbak.seconds.back(), 3) + " s (cpu gbak " +
              bench::Fixed(gbak.ownCpu.back(), 2) + ", server " + bench::Fixed(gbak.serverCpu.back(), 2) +
              ")";
    };
    const auto runJob = [&](bool automaticMode) {
      Samples& side = automaticMode ? automaticJobs : manualJobs;
      if (automaticMode) {
        real.Automatic(side);
      } else {
        real.Manual(side);
      }
      line += std::string(automaticMode ? " automatic " : " manual ") + bench::Fixed(side.seconds.back(), 3) +
              " s (cpu program " + bench::Fixed(side.ownCpu.back(), 2) + ", server " +
              bench::Fixed(side.serverCpu.back(), 2) + ", X " + bench::Fixed(side.displayCpu.back(), 2) + ")";
    };
    if (gbakFirst) runGbak();
    if (automatic && !gbakFirst) runJob(true);
    if (manual) runJob(false);
    if (automatic && gbakFirst) runJob(true);
    if (!gbakFirst) runGbak();
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
  }

  PrintSide(kind, "gbak", gbak, lines, true);
  const std::string size = bench::Fixed(static_cast<double>(fs::file_size(database)) / 1e6, 0) + " MB, " +
                           bench::Grouped(lines) + " lines";
  if (manual) {
    PrintSide(kind, "manual", manualJobs, lines, false);
    std::printf(
        "  %s manual: median of the round ratios %.3f; the job opened its log %.3f s after the click began\n",
        kind.c_str(), MedianRatio(manualJobs, gbak), real.MedianOpenLag());
  }
  if (automatic) {
    PrintSide(kind, "automatic", automaticJobs, lines, false);
    std::printf("  %s automatic: median of the round ratios %.3f\n", kind.c_str(),
                MedianRatio(automaticJobs, gbak));
  }
  std::fflush(stdout);
  if (manual) {
    ReportSide("Real program, click on \"Iniciar\" to the log block written, " + kind + "-heavy database (" +
                   size + ")",
               "manual", kind, manualJobs, gbak, lines, target);
  }
  if (automatic) {
    ReportSide("Real program, automatic mode, job started by its schedule time, " + kind + "-heavy database",
               "automatic", kind, automaticJobs, gbak, lines, target);
  }

  if (const char* folder = std::getenv("BENCH_PROFILE"); folder != nullptr && *folder != '\0' && manual) {
    fs::create_directories(folder);
    real.Profile(fs::absolute(folder), kind);
    std::printf("  %s: profiles of a manual job, of gbak and of the server during each in %s\n", kind.c_str(),
                fs::absolute(folder).c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> kinds;
  bool manual = false;
  bool automatic = false;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "manual") {
      manual = true;
    } else if (argument == "automatic") {
      automatic = true;
    } else if (argument == "data" || argument == "metadata") {
      kinds.push_back(argument);
    } else {
      std::fprintf(stderr, "unknown argument %s (data, metadata, manual, automatic)\n", argument.c_str());
      return 2;
    }
  }
  if (kinds.empty()) kinds = {"data", "metadata"};
  if (!manual && !automatic) manual = automatic = true;

  if (const char* other = std::getenv("BENCH_PROGRAM"); other != nullptr && *other != '\0')
    std::printf("measuring %s\n", other);
  try {
    FirebirdServer server;
    XDisplay display(/*withTray=*/true);
    for (const std::string& kind : kinds) {
      if (kind == "data") {
        Measure(server, display, kind, bench::DataHeavyDatabase(server), 1.03, manual, automatic);
      } else {
        Measure(server, display, kind, bench::MetadataHeavyDatabase(server), 1.05, manual, automatic);
      }
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "bench_real: %s\n", error.what());
    return 1;
  }
  return 0;
}
