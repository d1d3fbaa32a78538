#include "app/ShellOpen.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>

#include "app/TerminationSignals.h"

namespace app {
namespace {

bool IsRunnable(const QFileInfo& candidate) {
  return candidate.isFile() && candidate.isExecutable();
}

// The two ends of a pipe that close on exec, each closed with the object or before.
class ExecPipe {
 public:
  ExecPipe() {
    if (::pipe2(ends_, O_CLOEXEC) != 0) ends_[0] = ends_[1] = -1;
  }
  ~ExecPipe() {
    CloseWriteEnd();
    if (ends_[0] >= 0) ::close(ends_[0]);
  }
  ExecPipe(const ExecPipe&) = delete;
  ExecPipe& operator=(const ExecPipe&) = delete;

  bool Valid() const { return ends_[0] >= 0; }
  int ReadEnd() const { return ends_[0]; }
  int WriteEnd() const { return ends_[1]; }
  void CloseWriteEnd() {
    if (ends_[1] >= 0) ::close(ends_[1]);
    ends_[1] = -1;
  }

 private:
  int ends_[2] = {-1, -1};
};

// Starts the program with no arguments, detached: a first child starts a new session and the program
// as its own child, then ends, so the program is adopted by init and never waited for here. The program
// gets the termination signals unblocked and at their default action: this process blocks them, a
// blocked mask survives exec, and the toolkit's own detached start offers no hook in its child.
// Between fork and exec only async-signal-safe calls are made. True when the program's exec succeeded.
bool StartDetached(const QString& program) {
  const QByteArray path = QFile::encodeName(program);
  char* const argv[] = {const_cast<char*>(path.constData()), nullptr};
  // The program's child writes its errno here when exec fails; an end of file means it started.
  ExecPipe failure;
  if (!failure.Valid()) return false;
  const pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) {
    ::setsid();
    const pid_t started = ::fork();
    if (started == 0) {
      RestoreTerminationSignals();
      ::execv(argv[0], argv);
      const int error = errno;
      if (::write(failure.WriteEnd(), &error, sizeof error) < 0) _exit(127);
      _exit(127);
    }
    _exit(started < 0 ? 1 : 0);
  }
  failure.CloseWriteEnd();
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return false;
  int error = 0;
  ssize_t got = 0;
  do {
    got = ::read(failure.ReadEnd(), &error, sizeof error);
  } while (got < 0 && errno == EINTR);
  return got == 0;
}

}  // namespace

QString ResolveShellFile(const QString& file) {
  if (file.isEmpty()) return {};
  if (file.contains(QLatin1Char('/'))) {
    const QFileInfo given(file);
    return IsRunnable(given) ? given.absoluteFilePath() : QString();
  }
  const QFileInfo inCurrentFolder(QDir::current(), file);
  if (IsRunnable(inCurrentFolder)) return inCurrentFolder.absoluteFilePath();
  const QString path = qEnvironmentVariable("PATH");
  for (const QString& folder : path.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
    // A relative PATH entry would make the result depend on the current folder a second time.
    if (!QDir::isAbsolutePath(folder)) continue;
    const QFileInfo candidate(QDir(folder), file);
    if (IsRunnable(candidate)) return candidate.absoluteFilePath();
  }
  return {};
}

bool ShellOpen(const QString& file) {
  const QString program = ResolveShellFile(file);
  return !program.isEmpty() && StartDetached(program);
}

}  // namespace app
