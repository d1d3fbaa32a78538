#include "bench/BenchSupport.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "tests/support/ChildProcess.h"

namespace bench {
namespace fs = std::filesystem;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double Median(std::vector<double> samples) {
  if (samples.empty()) return 0;
  std::sort(samples.begin(), samples.end());
  const size_t middle = samples.size() / 2;
  return samples.size() % 2 == 1 ? samples[middle] : (samples[middle - 1] + samples[middle]) / 2;
}

long StatusKilobytes(pid_t pid, const std::string& field) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  const std::string prefix = field + ":";
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with(prefix)) return std::atol(line.c_str() + prefix.size());
  }
  return -1;
}

namespace {

// The fields of /proc/<pid>/stat after the command name, which may itself hold blanks.
std::vector<std::string> StatFields(pid_t pid, std::string* name = nullptr) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const size_t open = text.find('(');
  const size_t close = text.rfind(')');
  if (open == std::string::npos || close == std::string::npos) return {};
  if (name != nullptr) *name = text.substr(open + 1, close - open - 1);
  std::vector<std::string> fields;
  std::istringstream rest(text.substr(close + 1));
  for (std::string field; rest >> field;)
    fields.push_back(field);
  return fields;
}

}  // namespace

double ProcessCpuSeconds(pid_t pid) {
  // After the name: state, ppid, ..., utime is field 14 and stime field 15 of the whole line.
  const std::vector<std::string> fields = StatFields(pid);
  if (fields.size() < 13) return 0;
  const double ticks = static_cast<double>(std::atoll(fields[11].c_str()) + std::atoll(fields[12].c_str()));
  return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

ContextSwitches ProcessContextSwitches(pid_t pid) {
  ContextSwitches switches;
  std::error_code ignored;
  for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", ignored)) {
    std::ifstream in(task.path() / "status");
    for (std::string line; std::getline(in, line);) {
      if (line.starts_with("voluntary_ctxt_switches:")) switches.voluntary += std::atol(line.c_str() + 24);
      if (line.starts_with("nonvoluntary_ctxt_switches:"))
        switches.involuntary += std::atol(line.c_str() + 27);
    }
  }
  return switches;
}

double WaitedChildrenCpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_CHILDREN, &usage);
  const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

ContextSwitches WaitedChildrenContextSwitches() {
  rusage usage{};
  ::getrusage(RUSAGE_CHILDREN, &usage);
  return {usage.ru_nvcsw, usage.ru_nivcsw};
}

std::vector<pid_t> ChildrenNamed(const std::string& name) {
  std::vector<pid_t> children;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    const std::string file = entry.path().filename().string();
    if (file.find_first_not_of("0123456789") != std::string::npos) continue;
    const pid_t pid = static_cast<pid_t>(std::atol(file.c_str()));
    std::string command;
    const std::vector<std::string> fields = StatFields(pid, &command);
    if (fields.size() > 1 && command == name && std::atol(fields[1].c_str()) == ::getpid())
      children.push_back(pid);
  }
  return children;
}

int RunCount(int fallback) {
  const char* text = std::getenv("BENCH_RUNS");
  const int runs = text != nullptr ? std::atoi(text) : 0;
  return runs > 0 ? runs : fallback;
}

fs::path DataFolder() {
  const char* text = std::getenv("BENCH_DATA");
  fs::path folder = text != nullptr && *text != '\0' ? fs::path(text) : fs::current_path() / "bench-data";
  fs::create_directories(folder);
  return fs::absolute(folder);
}

ScratchFolder::ScratchFolder(const std::string& prefix) {
  std::string pattern = (DataFolder() / (prefix + "-XXXXXX")).string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed in " + pattern);
  path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

int RunToFile(const std::vector<std::string>& argv, const fs::path& outputFile) {
  return WaitForChild(StartToFile(argv, outputFile));
}

pid_t StartToFile(const std::vector<std::string>& argv, const fs::path& outputFile) {
  // A client must never pick up a private server's root or another user's credentials.
  std::vector<std::string> environment = testsupport::ChildEnvironment({});
  std::vector<std::string> args = argv;
  const std::vector<char*> cArgs = testsupport::CStrings(args);
  const std::vector<char*> cEnvironment = testsupport::CStrings(environment);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const std::string output = outputFile.empty() ? std::string("/dev/null") : outputFile.string();
  posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  pid_t pid = -1;
  const int failed = posix_spawnp(&pid, cArgs[0], &actions, nullptr, cArgs.data(), cEnvironment.data());
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) throw std::runtime_error("cannot start " + argv[0]);
  return pid;
}

int WaitForChild(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

BackgroundLoad::BackgroundLoad() : pid_(StartToFile({"sh", "-c", "while :; do :; done"})) {}

BackgroundLoad::~BackgroundLoad() {
  ::kill(pid_, SIGKILL);
  WaitForChild(pid_);
}

std::string LoadAverage() {
  std::ifstream file("/proc/loadavg");
  std::string one, five, fifteen;
  file >> one >> five >> fifteen;
  return one + " " + five + " " + fifteen;
}

long CountLines(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::count(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>(), '\n');
}

void SyncFileSystem(const fs::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  ::syncfs(fd);
  ::close(fd);
}

void Report(const std::string& measure, const std::string& ours, const std::string& reference,
            const std::string& ratio, const std::string& target, bool met) {
  const char* verdict = met ? "met" : "MISSED";
  std::printf("%s: ours %s, reference %s, ratio %s, target %s: %s\n", measure.c_str(), ours.c_str(),
              reference.c_str(), ratio.c_str(), target.c_str(), verdict);
  std::printf("RESULT|%s|%s|%s|%s|%s|%s\n", measure.c_str(), ours.c_str(), reference.c_str(), ratio.c_str(),
              target.c_str(), verdict);
  std::fflush(stdout);
}

std::string Fixed(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

std::string Grouped(long long value) {
  std::string digits = std::to_string(value < 0 ? -value : value);
  for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3)
    digits.insert(static_cast<size_t>(at), ",");
  return value < 0 ? "-" + digits : digits;
}

}  // namespace bench
