// The job's output loop alone, with the window shown: the client library double serves 200,000
// verbose lines as fast as it can, so what is measured is the window's own cost per line (gauge,
// output area, message pump). Reports lines per second (median of the runs) and the process's peak
// resident memory.
//
// bench_output_loop [lines] (200,000 by default); BENCH_RUNS runs (default 5).

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/desktop/ProgramApplication.h"
#include "bench/BenchSupport.h"
#include "bench/JobWindow.h"

int main(int argc, char** argv) {
  const int lines = argc > 1 ? std::atoi(argv[1]) : 200000;
  auto display = bench::PrepareDisplay();
  app::ProgramApplication application(argc, argv);
  try {
    fbdouble::Control& control = bench::ServeFromDouble();

    const long idleKilobytes = bench::StatusKilobytes(::getpid(), "VmRSS");
    bench::ScratchFolder scratch("output-loop");
    bench::JobWindow window(scratch.Path() / "program", "dbserver:/dados/app.fdb", true);
    const long shownKilobytes = bench::StatusKilobytes(::getpid(), "VmRSS");

    std::vector<double> rates;
    const int runs = bench::RunCount(5);
    for (int run = 0; run < runs; ++run) {
      window.ClearBackupFolder();
      window.Settle(100);
      // A typical verbose line of a data-heavy backup.
      control.ReplayServiceLines(lines, "gbak:    writing data for table DADOS_17");
      const double seconds = window.RunJob();
      if (window.OutputLines() != static_cast<size_t>(lines) + 10)
        throw std::runtime_error("the output area holds " + std::to_string(window.OutputLines()) + " lines");
      rates.push_back(lines / seconds);
      std::printf("  run %d: %d lines in %.3f s, %.0f lines/s\n", run + 1, lines, seconds, lines / seconds);
      std::fflush(stdout);
    }
    const double rate = bench::Median(rates);
    const long peakKilobytes = bench::StatusKilobytes(::getpid(), "VmHWM");
    const auto megabytes = [](long kilobytes) { return static_cast<double>(kilobytes) * 1024 / 1e6; };
    std::printf("  resident memory: %.1f MB before the window, %.1f MB with it shown, peak %.1f MB\n",
                megabytes(idleKilobytes), megabytes(shownKilobytes), megabytes(peakKilobytes));
    bench::Report("Output loop, " + bench::Grouped(lines) + " replayed lines, window shown (lines/s)",
                  bench::Grouped(static_cast<long long>(rate)), "-", "-", ">= 100,000", rate >= 100000);
    const double peak = megabytes(peakKilobytes);
    bench::Report("Peak resident memory (VmHWM) for " + bench::Grouped(lines) + " lines",
                  bench::Fixed(peak, 1) + " MB", "-", "-", "<= 150 MB", peak <= 150);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "bench_output_loop: %s\n", error.what());
    return 1;
  }
  return 0;
}
