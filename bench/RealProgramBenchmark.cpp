// The real program as users run it, against gbak. The built kelmora-backup is copied into a program
// folder with its sistema.ini and started on a private Xvfb with a tray host; it backs up a database of
// a private Firebird server, and `gbak -b -v -se` backs up the same database through the same services
// manager into the same folder.
//
//   manual     the program started with MANUAL; a click on "Iniciar" through the X server (an XTEST press and
//              release, as xdotool sends them, from a connection opened beforehand), timed from the moment
//              the click is sent until the job has written its log block (the job opens the log when it
//              begins and closes it once the whole block is in; inotify tells both at once);
//   automatic  the program started without arguments after the settings row was given a schedule time
//              a few seconds ahead; timed from the moment the job opens its log until it closes it,
//              since no click marks the start. So that a round need not wait for the machine's next
//              minute, the program is given a time zone (TZ, whose offset may name seconds) that puts the
//              start of its next minute five seconds after it starts: its clock, its schedule and its job
//              are those of any day, only its local time differs from the machine's by under a minute;
//   runner     (only when asked) the runner, kelmora-backup-run, in a program folder of its own whose
//              [Backup] asks the server for no verbose output with the key BENCH_QUIET_KEY names
//              (OmitirDetalhes by default), timed from its start until it ends, against
//              `gbak -b -se` without -v.
//
// gbak is timed from its start until it ends. Rounds alternate the order: gbak, (gbak without -v), manual,
// automatic, (runner) in one, the reverse in the next; the backup folder is emptied and the file system
// synced before every run. The CPU of the program, the Firebird server, the X server and gbak (or the
// runner) comes from /proc/<pid>/stat (user + system) before and after each run, their context switches
// (voluntary and involuntary) from /proc/<pid>/status or, for waited children, getrusage; each side's
// CPU and context switches per output line of gbak -v are printed beside gbak's, and the machine's load
// average at each round.
//
// quiet      (the default) as the machine is;
// loaded     under a fixed background load: one CPU-bound process at normal priority, started before each
//            timed run of either side and killed after it (a busy office server). With both, the quiet
//            rounds come first.
//
// bench_real [data|metadata]... [manual|automatic|runner]... [quiet|loaded]... (data, metadata, manual and
// automatic, quiet by default); BENCH_RUNS rounds (default 11).
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
#include <functional>
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
// How long after its start the automatic program's minute begins: the start and the settings load (a
// second after start) fit in it on a busy machine.
constexpr auto kAutomaticLead = 5s;

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

  // waitedChild: gbak or the runner, whose figures come from the waited children.
  void Add(double time, const Cpu& used, bool waitedChild) {
    seconds.push_back(time);
    ownCpu.push_back(waitedChild ? used.gbak : used.program);
    ownSwitches.push_back(static_cast<double>(waitedChild ? used.gbakSwitches : used.programSwitches));
    serverSwitches.push_back(static_cast<double>(used.serverSwitches));
    serverCpu.push_back(used.server);
    displayCpu.push_back(used.display);
  }
};

// A local clock for the automatic program on which a minute begins `lead` from now: its time zone, which
// puts local time that many seconds (0 to 59) ahead of UTC, and the minute as the settings row writes it.
struct ShiftedMinute {
  std::string timeZone;
  std::string scheduleTime;
  std::chrono::system_clock::time_point due;
};

ShiftedMinute MinuteAfter(std::chrono::seconds lead) {
  const std::time_t due = std::time(nullptr) + lead.count();
  const std::time_t ahead = (60 - due % 60) % 60;
  char zone[24];
  std::snprintf(zone, sizeof zone, "KLB-00:00:%02d", static_cast<int>(ahead));  // POSIX: UTC = local - ahead
  const std::time_t local = due + ahead;
  std::tm fields{};
  ::gmtime_r(&local, &fields);
  char time[8];
  std::strftime(time, sizeof time, "%H:%M", &fields);
  return {zone, time, std::chrono::system_clock::from_time_t(due)};
}

// The [Backup] key that asks the server for no verbose output: BENCH_QUIET_KEY, else OmitirDetalhes.
std::string QuietKey() {
  const char* key = std::getenv("BENCH_QUIET_KEY");
  return key != nullptr && *key != '\0' ? key : "OmitirDetalhes";
}

void EmptyAndSync(const fs::path& folder) {
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(folder))
    fs::remove_all(entry.path(), ignored);
  bench::SyncFileSystem(folder);
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

  // The runner beside the program, in a folder of its own whose [Backup] turns on quietKey.
  void PrepareRunner(const std::string& quietKey) {
    runner_.emplace();
    fs::copy_file(RUNNER_BINARY, RunnerExecutable());
    runner_->WriteIni("[Dados]\r\nDir=" + server_.Location(database_) + "\r\n[Backup]\r\nSistema=Linux\r\n" +
                      quietKey + "=1\r\n");
    fs::create_directories(runner_->Path() / "backup");
  }

  // Empties the backup folder and flushes the file system, outside any timing.
  void Prepare() const { EmptyAndSync(BackupFolder()); }

  // gbak -b -se, with -v (every line, as the manual mode asks) or without (as the runner asks with its key).
  double Gbak(Samples& samples, const fs::path& output, bool verbose = true) {
    Prepare();
    std::vector<std::string> argv = {"gbak", "-b"};
    if (verbose) argv.emplace_back("-v");
    argv.insert(argv.end(), {"-se", server_.ServiceManager(), database_.string(),
                             (BackupFolder() / "reference.gbk").string(), "-user", FirebirdServer::kUser,
                             "-password", FirebirdServer::kPassword});
    const Cpu before = Cpu::Now(-1);
    const auto start = bench::Clock::now();
    const int rc = bench::RunToFile(argv, output);
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
    const auto done = WaitForJob("manual", manual_->Output());
    samples.Add(std::chrono::duration<double>(done.second - start).count(), Cpu::Now(ManualPid()) - before,
                false);
    manualOpenLag_.push_back(std::chrono::duration<double>(done.first - start).count());
    return samples.seconds.back();
  }

  double Automatic(Samples& samples) {
    Prepare();
    const ShiftedMinute minute = MinuteAfter(kAutomaticLead);
    bench::SetSettingsRow(server_, database_, minute.scheduleTime);
    RunningProgram program(display_, folder_, {}, {"TZ=" + minute.timeZone});
    std::this_thread::sleep_until(minute.due - 1s);
    if (!program.Running()) throw std::runtime_error("the program ended: " + program.Output());
    bench::SyncFileSystem(BackupFolder());
    watcher_->Drain();
    const Cpu before = Cpu::Now(program.Pid());
    const auto done = WaitForJob("automatic", program.Output());
    samples.Add(std::chrono::duration<double>(done.second - done.first).count(),
                Cpu::Now(program.Pid()) - before, false);
    program.Signal(SIGTERM);
    if (!program.WaitForExit(20s)) throw std::runtime_error("the program did not end: " + program.Output());
    return samples.seconds.back();
  }

  // The runner timed from its start until it ends; throws unless its log block says the backup completed.
  double Runner(Samples& samples, const fs::path& output) {
    const fs::path backup = runner_->Path() / "backup";
    EmptyAndSync(backup);
    const Cpu before = Cpu::Now(-1);
    const auto start = bench::Clock::now();
    const int rc = bench::RunToFile({RunnerExecutable().string()}, output);
    const double seconds = bench::SecondsSince(start);
    const std::string log = testsupport::ReadAll(backup / kLogName);
    if (rc != 0 || log.find("Backup conclu\xED"
                            "do.\r\n") == std::string::npos)
      throw std::runtime_error("the runner ended with " + std::to_string(rc) + ":\n" +
                               testsupport::ReadAll(output) + "\n" +
                               log.substr(log.size() > 4000 ? log.size() - 4000 : 0));
    samples.Add(seconds, Cpu::Now(-1) - before, true);
    return seconds;
  }

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
    WaitForJob("profiled manual", manual_->Output());
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

  // Lines of the last job's log block, and of the runner's.
  long LogLines() const { return bench::CountLines(BackupFolder() / kLogName); }
  long RunnerLogLines() const { return bench::CountLines(runner_->Path() / "backup" / kLogName); }
  double MedianOpenLag() const { return bench::Median(manualOpenLag_); }

 private:
  fs::path RunnerExecutable() const { return runner_->Path() / "kelmora-backup-run"; }

  // The times at which the job opened and closed its log; throws unless it ended with the whole block of
  // a completed backup.
  std::pair<bench::Clock::time_point, bench::Clock::time_point> WaitForJob(const std::string& side,
                                                                           const std::string& programOutput) {
    const auto opened = watcher_->WaitForOpen(120s);
    if (!opened) throw std::runtime_error("no " + side + " job began: " + programOutput);
    const auto closed = watcher_->WaitForWrittenAndClosed(600s);
    if (!closed) throw std::runtime_error("the " + side + " job did not write its log: " + programOutput);
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
  std::optional<ProgramFolder> runner_;
  std::vector<double> manualOpenLag_;
};

// The sides a run measures besides gbak.
struct Sides {
  bool manual = false;
  bool automatic = false;
  bool runner = false;
};

// A figure per output line of gbak -v: what a side costs for every line the server hands out.
double PerLine(double total, long lines) {
  return total / static_cast<double>(std::max(1L, lines));
}

// own: whose CPU and context switches the side's own are (gbak, the program or the runner).
void PrintSide(const std::string& title, const char* name, const char* own, const Samples& samples,
               long lines) {
  std::printf("  %s %s: median %.3f s; median CPU seconds: %s %.3f, Firebird %.3f, X %.3f\n", title.c_str(),
              name, bench::Median(samples.seconds), own, bench::Median(samples.ownCpu),
              bench::Median(samples.serverCpu), bench::Median(samples.displayCpu));
  std::printf("  %s %s: per line of gbak -v: %s CPU %.1f us, context switches %s %.2f, Firebird %.2f\n",
              title.c_str(), name, own, PerLine(bench::Median(samples.ownCpu), lines) * 1e6, own,
              PerLine(bench::Median(samples.ownSwitches), lines),
              PerLine(bench::Median(samples.serverSwitches), lines));
}

double MedianRatio(const Samples& side, const Samples& gbak) {
  std::vector<double> ratios;
  for (size_t i = 0; i < side.seconds.size() && i < gbak.seconds.size(); ++i)
    ratios.push_back(side.seconds[i] / gbak.seconds[i]);
  return bench::Median(ratios);
}

// The rows of one side against its gbak: the time, and for a side that shows every line, its CPU and its
// context switches per output line beside gbak's (the cost the server waits for at every line).
void ReportSide(const std::string& label, const std::string& what, const Samples& side, const Samples& gbak,
                long lines, double target, bool perLineRows) {
  const double ours = bench::Median(side.seconds);
  const double reference = bench::Median(gbak.seconds);
  const double ratio = ours / reference;
  bench::Report(label, bench::Fixed(ours, 3) + " s", "gbak " + bench::Fixed(reference, 3) + " s",
                bench::Fixed(ratio, 3), "<= " + bench::Fixed(target, 2), ratio <= target);
  if (!perLineRows) return;
  const double perLine = PerLine(bench::Median(side.ownCpu), lines) * 1e6;
  const double gbakPerLine = PerLine(bench::Median(gbak.ownCpu), lines) * 1e6;
  bench::Report("Program CPU per output line, " + what, bench::Fixed(perLine, 1) + " us",
                "gbak " + bench::Fixed(gbakPerLine, 1) + " us", bench::Fixed(perLine / gbakPerLine, 2),
                "<= 1.00", perLine <= gbakPerLine);
  const double switches = PerLine(bench::Median(side.ownSwitches), lines);
  const double gbakSwitches = PerLine(bench::Median(gbak.ownSwitches), lines);
  bench::Report("Program context switches per output line, " + what, bench::Fixed(switches, 2),
                "gbak " + bench::Fixed(gbakSwitches, 2), bench::Fixed(switches / gbakSwitches, 2), "-", true);
}

// The alternating rounds of one database under one condition (quiet, or with the background load), then
// their rows.
void RunRounds(Bench& real, const std::string& kind, const std::string& databaseText, const Sides& sides,
               bool loaded, long lines, const fs::path& scratch) {
  const std::string condition = loaded ? "loaded" : "quiet";
  const std::string title = kind + " " + condition;
  const fs::path gbakOutput = scratch / "gbak-output.txt";
  const fs::path quietGbakOutput = scratch / "gbak-quiet-output.txt";
  const fs::path runnerOutput = scratch / "runner-output.txt";
  Samples gbak, quietGbak, manualJobs, automaticJobs, runnerJobs;
  std::vector<double> loads;  // one minute's, at the end of each round

  const int rounds = bench::RunCount(11);
  for (int round = 0; round < rounds; ++round) {
    std::string line = "  " + title + " round " + std::to_string(round + 1) + ":";
    const auto describeWaited = [&](const char* name, const Samples& side, const char* own) {
      line += std::string(" ") + name + " " + bench::Fixed(side.seconds.back(), 3) + " s (cpu " + own + " " +
              bench::Fixed(side.ownCpu.back(), 2) + ", server " + bench::Fixed(side.serverCpu.back(), 2) +
              ")";
    };
    const auto describeJob = [&](const char* name, const Samples& side) {
      line += std::string(" ") + name + " " + bench::Fixed(side.seconds.back(), 3) + " s (cpu program " +
              bench::Fixed(side.ownCpu.back(), 2) + ", server " + bench::Fixed(side.serverCpu.back(), 2) +
              ", X " + bench::Fixed(side.displayCpu.back(), 2) + ")";
    };
    std::vector<std::function<void()>> runs;
    runs.emplace_back([&] {
      real.Gbak(gbak, gbakOutput);
      describeWaited("gbak", gbak, "gbak");
    });
    if (sides.runner) {
      runs.emplace_back([&] {
        real.Gbak(quietGbak, quietGbakOutput, /*verbose=*/false);
        describeWaited("gbak-without-v", quietGbak, "gbak");
      });
    }
    if (sides.manual) {
      runs.emplace_back([&] {
        real.Manual(manualJobs);
        describeJob("manual", manualJobs);
      });
    }
    if (sides.automatic) {
      runs.emplace_back([&] {
        real.Automatic(automaticJobs);
        describeJob("automatic", automaticJobs);
      });
    }
    if (sides.runner) {
      runs.emplace_back([&] {
        real.Runner(runnerJobs, runnerOutput);
        describeWaited("runner", runnerJobs, "runner");
      });
    }
    if (round % 2 == 1) std::reverse(runs.begin(), runs.end());
    for (const auto& run : runs) {
      // Killed once the run's figures are taken, so that its CPU stays out of them.
      std::optional<bench::BackgroundLoad> load;
      if (loaded) load.emplace();
      run();
    }
    const std::string average = bench::LoadAverage();
    loads.push_back(std::atof(average.c_str()));
    std::printf("%s (load %s)\n", line.c_str(), average.c_str());
    std::fflush(stdout);
  }

  PrintSide(title, "gbak", "gbak", gbak, lines);
  if (sides.manual) {
    PrintSide(title, "manual", "program", manualJobs, lines);
    std::printf(
        "  %s manual: median of the round ratios %.3f; the job opened its log %.3f s after the click "
        "began\n",
        title.c_str(), MedianRatio(manualJobs, gbak), real.MedianOpenLag());
  }
  if (sides.automatic) {
    PrintSide(title, "automatic", "program", automaticJobs, lines);
    std::printf("  %s automatic: median of the round ratios %.3f\n", title.c_str(),
                MedianRatio(automaticJobs, gbak));
  }
  if (sides.runner) {
    PrintSide(title, "gbak without -v", "gbak", quietGbak, lines);
    PrintSide(title, "runner", "runner", runnerJobs, lines);
    std::printf("  %s runner: median of the round ratios %.3f\n", title.c_str(),
                MedianRatio(runnerJobs, quietGbak));
  }
  std::fflush(stdout);

  const std::string load = (loaded ? "one CPU-bound process beside each run, load " : "quiet, load ") +
                           bench::Fixed(bench::Median(loads), 2);
  const double target = loaded ? 1.02 : 1.00;
  if (sides.manual) {
    ReportSide("Real program, click on \"Iniciar\" to the log block written, " + databaseText + ", " + load,
               "manual mode, " + kind + "-heavy database, " + load, manualJobs, gbak, lines, target, true);
  }
  if (sides.automatic) {
    ReportSide("Real program, automatic mode, job started by its schedule time, " + kind +
                   "-heavy database, " + load,
               "automatic mode, " + kind + "-heavy database, " + load, automaticJobs, gbak, lines, target,
               true);
  }
  if (sides.runner) {
    ReportSide("Runner with " + QuietKey() + "=1, start to end, against gbak -b -se without -v, " + kind +
                   "-heavy database, " + load,
               "", runnerJobs, quietGbak, lines, target, false);
  }
}

void Measure(const FirebirdServer& server, const XDisplay& display, const std::string& kind,
             const fs::path& database, const Sides& sides, const std::vector<bool>& conditions) {
  Bench real(server, display, database);
  bench::ScratchFolder scratch("real-" + kind);
  if (sides.manual) real.StartManualProgram();
  if (sides.runner) real.PrepareRunner(QuietKey());

  // One untimed run of each warms the server's page cache and gives the line counts.
  Samples untimed;
  const fs::path gbakOutput = scratch.Path() / "gbak-output.txt";
  real.Gbak(untimed, gbakOutput);
  const long lines = bench::CountLines(gbakOutput);
  if (sides.manual) {
    real.Manual(untimed);
    std::printf("  %s: gbak wrote %ld lines, the manual job's log block has %ld\n", kind.c_str(), lines,
                real.LogLines());
  }
  if (sides.runner) {
    const fs::path runnerOutput = scratch.Path() / "runner-output.txt";
    real.Runner(untimed, runnerOutput);
    std::printf("  %s: the runner with %s=1 wrote %ld lines, its log block has %ld\n", kind.c_str(),
                QuietKey().c_str(), bench::CountLines(runnerOutput), real.RunnerLogLines());
  }

  const std::string databaseText = kind + "-heavy database (" +
                                   bench::Fixed(static_cast<double>(fs::file_size(database)) / 1e6, 0) +
                                   " MB, " + bench::Grouped(lines) + " lines)";
  for (const bool loaded : conditions)
    RunRounds(real, kind, databaseText, sides, loaded, lines, scratch.Path());

  if (const char* folder = std::getenv("BENCH_PROFILE");
      folder != nullptr && *folder != '\0' && sides.manual) {
    fs::create_directories(folder);
    // Under the load of the last condition, so that a loaded run's profile shows where the time goes.
    std::optional<bench::BackgroundLoad> load;
    if (conditions.back()) load.emplace();
    real.Profile(fs::absolute(folder), kind);
    std::printf("  %s: profiles of a manual job, of gbak and of the server during each in %s%s\n",
                kind.c_str(), fs::absolute(folder).c_str(),
                conditions.back() ? ", under the background load" : "");
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> kinds;
  Sides sides;
  bool quiet = false;
  bool loaded = false;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "manual") {
      sides.manual = true;
    } else if (argument == "automatic") {
      sides.automatic = true;
    } else if (argument == "runner") {
      sides.runner = true;
    } else if (argument == "quiet") {
      quiet = true;
    } else if (argument == "loaded") {
      loaded = true;
    } else if (argument == "data" || argument == "metadata") {
      kinds.push_back(argument);
    } else {
      std::fprintf(stderr, "unknown argument %s (data, metadata, manual, automatic, runner, quiet, loaded)\n",
                   argument.c_str());
      return 2;
    }
  }
  if (kinds.empty()) kinds = {"data", "metadata"};
  if (!sides.manual && !sides.automatic && !sides.runner) sides.manual = sides.automatic = true;
  std::vector<bool> conditions;
  if (quiet || !loaded) conditions.push_back(false);
  if (loaded) conditions.push_back(true);

  if (const char* other = std::getenv("BENCH_PROGRAM"); other != nullptr && *other != '\0')
    std::printf("measuring %s\n", other);
  try {
    FirebirdServer server;
    XDisplay display(/*withTray=*/true);
    for (const std::string& kind : kinds) {
      const fs::path database =
          kind == "data" ? bench::DataHeavyDatabase(server) : bench::MetadataHeavyDatabase(server);
      Measure(server, display, kind, database, sides, conditions);
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "bench_real: %s\n", error.what());
    return 1;
  }
  return 0;
}
