#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <vector>

#include "FileDescriptor.h"
#include "platform/LinuxSystem.h"

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

}  // namespace

std::string LinuxSystem::ResolveProgram(const std::string& file) {
  if (file.empty()) return {};
  if (file.find('/') != std::string::npos) return IsRunnable(file) ? Absolute(file) : std::string();
  if (IsRunnable(file)) return Absolute(file);
  const std::string path = Variable("PATH").value_or("");
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

bool LinuxSystem::LaunchDetached(const std::string& program) {
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

int LinuxSystem::RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                            std::string_view input) {
  // The input goes through a socket rather than a pipe: a program that ends without reading it must not
  // end this process with SIGPIPE.
  int ends[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return -1;
  FileDescriptor ours(ends[0]);
  FileDescriptor theirs(ends[1]);

  posix_spawn_file_actions_t streams;
  if (posix_spawn_file_actions_init(&streams) != 0) return -1;
  posix_spawnattr_t attributes;
  if (posix_spawnattr_init(&attributes) != 0) {
    posix_spawn_file_actions_destroy(&streams);
    return -1;
  }
  posix_spawn_file_actions_adddup2(&streams, theirs.Get(), 0);
  posix_spawn_file_actions_addopen(&streams, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&streams, 2, "/dev/null", O_WRONLY, 0);
  // The program gets the signals in their default state, whatever this process blocks or catches.
  sigset_t none;
  sigemptyset(&none);
  sigset_t all;
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &all);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  std::vector<std::string> texts = {program};
  texts.insert(texts.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& text : texts)
    argv.push_back(text.data());
  argv.push_back(nullptr);
  pid_t child = -1;
  const int failed = posix_spawn(&child, program.c_str(), &streams, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&streams);
  posix_spawnattr_destroy(&attributes);
  if (failed != 0) return -1;
  theirs = FileDescriptor();

  while (!input.empty()) {
    const ssize_t sent = ::send(ours.Get(), input.data(), input.size(), MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) break;  // the program does not read: it will answer for it with its exit code
    input.remove_prefix(static_cast<std::size_t>(sent));
  }
  ::shutdown(ours.Get(), SHUT_WR);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace platform
