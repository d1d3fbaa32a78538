#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>
#include <system_error>

#include "FileDescriptor.h"
#include "platform/Machine.h"

namespace platform {
namespace {

using linux_system::FileDescriptor;

// Nothing is ever written to the file; only its lock counts. Others that share the folder must be able to
// open it to ask for the lock (its mode passes through the umask and the folder's default access list).
constexpr mode_t kLockFilePermissions = 0666;

class FlockedFolder final : public FolderLock {
 public:
  explicit FlockedFolder(FileDescriptor file) : file_(std::move(file)) {}

 private:
  // Closing the last descriptor of the open file frees the lock; so does the process's end.
  FileDescriptor file_;
};

FolderLockAttempt Failure(int error) {
  return {FolderLockAttempt::Outcome::Failed, nullptr, std::generic_category().message(error)};
}

// flock on "<folder>/.lock". The lock belongs to the open file, so it is the same across processes and
// threads and two attempts of one process exclude each other too. In a folder others may write, a link or
// a pipe may stand at that name: a link is not followed and anything but a plain file is refused (the
// pipe's open does not wait, for O_NONBLOCK).
class FlockFolderLocks final : public FolderLocks {
 public:
  FolderLockAttempt TryLockFolder(const std::string& folder) override {
    const std::string name = folder + (folder.ends_with('/') ? "" : "/") + ".lock";
    for (int attempt = 0;; ++attempt) {
      FileDescriptor file(::open(name.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                                 kLockFilePermissions));
      if (!file.Valid()) return Failure(errno);
      struct stat opened {};
      if (::fstat(file.Get(), &opened) != 0) return Failure(errno);
      if (!S_ISREG(opened.st_mode)) return Failure(EINVAL);
      while (::flock(file.Get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK) return {FolderLockAttempt::Outcome::HeldByAnother, nullptr, {}};
        if (errno != EINTR) return Failure(errno);
      }
      // A file removed (or replaced) after it was opened here locks nothing the next asker would see.
      struct stat named {};
      if (::lstat(name.c_str(), &named) == 0 && named.st_dev == opened.st_dev &&
          named.st_ino == opened.st_ino) {
        // Fresh, so that a clean-up of the folder's old files (the backups' retention) leaves it alone
        // while it is held; where it is another user's, their write stays as it was.
        ::futimens(file.Get(), nullptr);
        return {FolderLockAttempt::Outcome::Taken, std::make_unique<FlockedFolder>(std::move(file)), {}};
      }
      if (attempt == 8) return Failure(EAGAIN);
    }
  }
};

}  // namespace

std::unique_ptr<FolderLocks> MachineFolderLocks() {
  return std::make_unique<FlockFolderLocks>();
}

}  // namespace platform
