// The backup job in manual mode with the window shown, from the click on "Iniciar" until the status
// line reads "Backup concluído.", against gbak backing up the same database through the same
// services manager into the same folder. Runs alternate (job first in one round, gbak first in the
// next) so that both meet the same machine load and the same warm caches.
//
// bench_job [data|metadata]... (both by default); BENCH_RUNS timed rounds (default 7). BENCH_HIDDEN=1
// keeps the window hidden, to see what showing it costs.

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/desktop/ProgramApplication.h"
#include "bench/BenchDatabases.h"
#include "bench/BenchSupport.h"
#include "bench/JobWindow.h"

namespace {
namespace fs = std::filesystem;
using testsupport::FirebirdServer;

// CPU seconds used so far by the processes that take part in a backup.
struct Cpu {
  double self = 0;      // the window (this process)
  double children = 0;  // gbak, once waited for
  double display = 0;   // the private X server, when it is ours
  double server = 0;    // the Firebird server, which runs the backup itself

  static Cpu Now() {
    Cpu cpu;
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    cpu.self = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
               static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    cpu.children = bench::WaitedChildrenCpuSeconds();
    for (pid_t pid : bench::ChildrenNamed("Xvfb"))
      cpu.display += bench::ProcessCpuSeconds(pid);
    for (pid_t pid : bench::ChildrenNamed("firebird"))
      cpu.server += bench::ProcessCpuSeconds(pid);
    return cpu;
  }
  Cpu operator-(const Cpu& before) const {
    return {self - before.self, children - before.children, display - before.display, server - before.server};
  }
};

double RunGbak(const FirebirdServer& server, const fs::path& database, const fs::path& target,
               const fs::path& output) {
  const auto start = bench::Clock::now();
  const int rc = bench::RunToFile(
      {"gbak", "-b", "-v", "-se", server.ServiceManager(), database.string(), target.string(), "-user",
       FirebirdServer::kUser, "-password", FirebirdServer::kPassword},
      output);
  const double seconds = bench::SecondsSince(start);
  if (rc != 0)
    throw std::runtime_error("gbak failed with " + std::to_string(rc) + ", see " + output.string());
  return seconds;
}

void Measure(const FirebirdServer& server, const std::string& kind, const fs::path& database, double target) {
  bench::ScratchFolder scratch("job-" + kind);
  bench::JobWindow window(scratch.Path() / "program", server.Location(database),
                          std::getenv("BENCH_HIDDEN") == nullptr);
  const fs::path reference = window.BackupFolder() / "reference.gbk";
  const fs::path gbakOutput = scratch.Path() / "gbak-output.txt";
  const auto prepare = [&] {
    window.ClearBackupFolder();
    fs::create_directories(window.BackupFolder());
    bench::SyncFileSystem(scratch.Path());
    window.Settle(100);
  };

  // One untimed run of each warms the server's page cache and gives the line counts.
  prepare();
  window.RunJob();
  const long jobLines = static_cast<long>(window.OutputLines()) - 10;  // the job's own lines around them
  prepare();
  RunGbak(server, database, reference, gbakOutput);
  const long gbakLines = bench::CountLines(gbakOutput);

  const int runs = bench::RunCount(7);
  std::vector<double> jobs, gbaks, ratios;
  std::vector<double> windowCpu, displayCpu, serverCpuJob, gbakCpu, serverCpuGbak, outputPaints, gaugePaints;
  for (int round = 0; round < runs; ++round) {
    for (int side = 0; side < 2; ++side) {
      prepare();
      const Cpu before = Cpu::Now();
      if ((side == 0) == (round % 2 == 0)) {
        jobs.push_back(window.RunJob());
        const Cpu used = Cpu::Now() - before;
        windowCpu.push_back(used.self);
        outputPaints.push_back(window.OutputPaints());
        gaugePaints.push_back(window.GaugePaints());
        displayCpu.push_back(used.display);
        serverCpuJob.push_back(used.server);
      } else {
        gbaks.push_back(RunGbak(server, database, reference, gbakOutput));
        const Cpu used = Cpu::Now() - before;
        gbakCpu.push_back(used.children);
        serverCpuGbak.push_back(used.server);
      }
    }
    ratios.push_back(jobs.back() / gbaks.back());
    std::printf(
        "  %s round %d: job %.3f s (cpu: window %.2f, X %.2f, server %.2f), gbak %.3f s (cpu: gbak %.2f, "
        "server %.2f), ratio %.3f\n",
        kind.c_str(), round + 1, jobs.back(), windowCpu.back(), displayCpu.back(), serverCpuJob.back(),
        gbaks.back(), gbakCpu.back(), serverCpuGbak.back(), ratios.back());
    std::fflush(stdout);
  }
  const double job = bench::Median(jobs);
  const double gbak = bench::Median(gbaks);
  const double ratio = job / gbak;
  std::printf("  %s: median of the round ratios %.3f; lines: job %ld, gbak %ld\n", kind.c_str(),
              bench::Median(ratios), jobLines, gbakLines);
  std::printf(
      "  %s: median CPU seconds per run: job - window %.3f, X server %.3f, Firebird %.3f; gbak - gbak "
      "%.3f, Firebird %.3f; the window's CPU per line %.1f us\n",
      kind.c_str(), bench::Median(windowCpu), bench::Median(displayCpu), bench::Median(serverCpuJob),
      bench::Median(gbakCpu), bench::Median(serverCpuGbak),
      bench::Median(windowCpu) * 1e6 / static_cast<double>(std::max(1L, jobLines)));
  std::printf("  %s: median repaints per job: output area %.0f, gauge %.0f\n", kind.c_str(),
              bench::Median(outputPaints), bench::Median(gaugePaints));
  const std::string label = "Job / gbak, " + kind + "-heavy database (" +
                            bench::Fixed(static_cast<double>(fs::file_size(database)) / 1e6, 0) + " MB, " +
                            bench::Grouped(gbakLines) + " lines)";
  bench::Report(label, bench::Fixed(job, 3) + " s", bench::Fixed(gbak, 3) + " s", bench::Fixed(ratio, 3),
                "<= " + bench::Fixed(target, 2), ratio <= target);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> kinds;
  for (int i = 1; i < argc; ++i)
    kinds.emplace_back(argv[i]);
  if (kinds.empty()) kinds = {"data", "metadata"};

  auto display = bench::PrepareDisplay();
  app::ProgramApplication application(argc, argv);
  try {
    FirebirdServer server;
    for (const std::string& kind : kinds) {
      if (kind == "data") {
        Measure(server, kind, bench::DataHeavyDatabase(server), 1.03);
      } else if (kind == "metadata") {
        Measure(server, kind, bench::MetadataHeavyDatabase(server), 1.10);
      } else {
        std::fprintf(stderr, "unknown database kind %s (data or metadata)\n", kind.c_str());
        return 2;
      }
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "bench_job: %s\n", error.what());
    return 1;
  }
  return 0;
}
