#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "FileDescriptor.h"
#include "platform/Machine.h"

namespace platform {
namespace {

using linux_system::FileDescriptor;

bool IsRunnable(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

std::string Absolute(const std::string& path) {
  if (!path.empty() && path.front() == '/') return path;
  std::string folder(4096, '\0');
  if (::getcwd(folder.data(), folder.size()) == nullptr) return path;
  folder.resize(folder.find('\0'));
  return folder + (folder.back() == '/' ? "" : "/") + path;
}

// Runs in the forked child, where only async-signal-safe calls are allowed: a started program gets the
// signals in their default state, whatever this process blocks or catches.
[[noreturn]] void ExecWithDefaultSignals(const char* program, int errorPipe) {
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  struct sigaction byDefault {};
  byDefault.sa_handler = SIG_DFL;
  for (int signal = 1; signal < NSIG; ++signal)
    sigaction(signal, &byDefault, nullptr);
  char* const arguments[] = {const_cast<char*>(program), nullptr};
  execv(program, arguments);
  const int error = errno;
  (void)!::write(errorPipe, &error, sizeof error);
  _exit(127);
}

class LinuxLauncher final : public Launcher {
 public:
  explicit LinuxLauncher(Environment& environment) : environment_(environment) {}

  std::string ResolveProgram(const std::string& file) override {
    if (file.empty()) return {};
    if (file.find('/') != std::string::npos) return IsRunnable(file) ? Absolute(file) : std::string();
    if (IsRunnable(file)) return Absolute(file);
    const std::string path = environment_.Variable("PATH").value_or("");
    for (std::size_t start = 0; start <= path.size();) {
      const std::size_t colon = std::min(path.find(':', start), path.size());
      const std::string folder = path.substr(start, colon - start);
      start = colon + 1;
      // A relative entry would make the result depend on the current folder a second time.
      if (folder.empty() || folder.front() != '/') continue;
      const std::string candidate = folder + (folder.back() == '/' ? "" : "/") + file;
      if (IsRunnable(candidate)) return candidate;
    }
    return {};
  }

  bool LaunchDetached(const std::string& program) override {
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) return false;
    FileDescriptor readEnd(pipeEnds[0]);
    FileDescriptor writeEnd(pipeEnds[1]);
    // Started through an intermediate process that ends at once, so the program belongs to no one here and
    // never becomes a zombie of this process.
    const pid_t intermediate = ::fork();
    if (intermediate < 0) return false;
    if (intermediate == 0) {
      ::setsid();
      const pid_t started = ::fork();
      if (started == 0) ExecWithDefaultSignals(program.c_str(), writeEnd.Get());
      _exit(started < 0 ? 1 : 0);
    }
    writeEnd = FileDescriptor();
    int status = 0;
    while (::waitpid(intermediate, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return false;
    // The pipe closes without a word when the program's exec succeeded.
    int execError = 0;
    ssize_t n;
    while ((n = ::read(readEnd.Get(), &execError, sizeof execError)) < 0 && errno == EINTR) {
    }
    return n == 0;
  }

 private:
  Environment& environment_;
};

}  // namespace

std::unique_ptr<Launcher> MachineLauncher(Environment& environment) {
  return std::make_unique<LinuxLauncher>(environment);
}

}  // namespace platform
