#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

// Helpers shared by the benchmark programs: timing, medians, process memory, quiet child processes and
// the result lines that scripts/bench.sh gathers into its table.
namespace bench {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start);

// The median of the samples (the mean of the two middle ones for an even count); 0 for none.
double Median(std::vector<double> samples);

// A field of /proc/<pid>/status in kilobytes ("VmHWM", "VmRSS"); -1 when it cannot be read.
long StatusKilobytes(pid_t pid, const std::string& field);

// CPU seconds (user and system) a process has used so far; 0 when it cannot be read.
double ProcessCpuSeconds(pid_t pid);
// Context switches of all the threads of a process so far (voluntary: it waited; involuntary: it was
// preempted); 0 when they cannot be read.
struct ContextSwitches {
  long voluntary = 0;
  long involuntary = 0;
};
ContextSwitches ProcessContextSwitches(pid_t pid);
// CPU seconds of this process's children that have been waited for.
double WaitedChildrenCpuSeconds();
// Context switches of this process's children that have been waited for.
ContextSwitches WaitedChildrenContextSwitches();
// This process's own children whose command name is `name` ("Xvfb", "firebird").
std::vector<pid_t> ChildrenNamed(const std::string& name);

// How many timed runs of each side a benchmark makes: BENCH_RUNS, else the given default.
int RunCount(int fallback);

// The folder where benchmarks keep their databases and large files between runs: BENCH_DATA, else
// "bench-data" in the current folder. Created when missing.
std::filesystem::path DataFolder();

// A new empty folder under the data folder, removed with the object.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& prefix);
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Runs a program found through PATH with its standard output and error written to outputFile (or
// thrown away when it is empty) and the Firebird server variables removed from its environment, and
// waits for it. Returns its exit code, 128 + signal when it was killed.
int RunToFile(const std::vector<std::string>& argv, const std::filesystem::path& outputFile = {});
// The same without waiting: returns the process id, for WaitForChild.
pid_t StartToFile(const std::vector<std::string>& argv, const std::filesystem::path& outputFile = {});
// Waits for a child started by StartToFile; its exit code, 128 + signal when it was killed.
int WaitForChild(pid_t pid);

// One CPU-bound process at normal priority (a shell spinning in an empty loop) from construction until
// destruction: the fixed load of a busy machine, the same for both sides of a comparison. It is waited
// for when it goes, so its CPU then joins the waited children's: take those figures while it runs.
class BackgroundLoad {
 public:
  BackgroundLoad();
  ~BackgroundLoad();
  BackgroundLoad(const BackgroundLoad&) = delete;
  BackgroundLoad& operator=(const BackgroundLoad&) = delete;

 private:
  pid_t pid_ = -1;
};

// The machine's load averages over 1, 5 and 15 minutes as /proc/loadavg writes them ("1.05 0.98 0.90").
std::string LoadAverage();

// Number of lines of a text file.
long CountLines(const std::filesystem::path& file);

// Flushes the file system that holds the path, so that one timed run does not pay for the writes of
// the one before.
void SyncFileSystem(const std::filesystem::path& path);

// One line of the results table. Printed as "RESULT|measure|ours|reference|ratio|target|verdict" for
// scripts/bench.sh, after a readable line for whoever runs the program alone.
void Report(const std::string& measure, const std::string& ours, const std::string& reference,
            const std::string& ratio, const std::string& target, bool met);

std::string Fixed(double value, int decimals);
// "12,345": thousands separated as the README writes them.
std::string Grouped(long long value);

}  // namespace bench
