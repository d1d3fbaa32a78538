#include "LinuxFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "FileDescriptor.h"
#include "platform/Machine.h"

namespace platform {
namespace linux_system {

bool WriteAll(int fd, const char* data, std::size_t size) {
  for (std::size_t done = 0; done < size;) {
    const ssize_t n = ::write(fd, data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

std::optional<std::string> ReadUpTo(int fd, std::size_t size) {
  std::string contents(size, '\0');
  std::size_t done = 0;
  while (done < contents.size()) {
    const ssize_t n = ::read(fd, contents.data() + done, contents.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  contents.resize(done);
  return contents;
}

}  // namespace linux_system

namespace {

using linux_system::FileDescriptor;

// A copy holds the whole business database: readable by its owner and the owner's group, never by all.
constexpr mode_t kCopyPermissions = 0640;
// The log is read and appended to by every desktop user of a shared program folder, never by others.
constexpr mode_t kLogPermissions = 0660;
// Backups hold the whole business database: the folder is its owner's alone until it is shared.
constexpr mode_t kFolderPermissions = 0700;

[[noreturn]] void ThrowSystemError(const std::string& what) {
  throw std::system_error(errno, std::generic_category(), what);
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// A copy is written as ".backup-copy-" and six letters or digits (mkostemp's), and only such names are
// ever taken for a copy's leftover.
constexpr std::string_view kCopyTemporaryPrefix = ".backup-copy-";
constexpr std::size_t kCopyTemporaryRandomLength = 6;

bool IsCopyTemporaryName(std::string_view name) {
  if (!name.starts_with(kCopyTemporaryPrefix) ||
      name.size() != kCopyTemporaryPrefix.size() + kCopyTemporaryRandomLength) {
    return false;
  }
  return std::all_of(name.begin() + kCopyTemporaryPrefix.size(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
  });
}

// A writer holds its file's lock for as long as it writes, so a file whose lock can be taken has no writer
// left. Where the file system has no locks, writing goes ahead unlocked.
bool TakeWriterLock(int file) {
  return ::flock(file, LOCK_EX | LOCK_NB) == 0;
}

// A file just created and locked may have been taken by another process's clean-up between the two.
bool StillNamed(int file) {
  struct stat info {};
  return ::fstat(file, &info) == 0 && info.st_nlink > 0;
}

// Whether the open file is the one a name gave when it was looked at, and not one put in its place since.
bool SameFile(int file, const struct stat& named) {
  struct stat opened {};
  return ::fstat(file, &opened) == 0 && opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

// A copy that was cut off (a killed job, a power cut) leaves its temporary file behind, as large as the
// backup it copied; the next copy into the folder removes it. A temporary file that a running copy holds
// (its lock, below) stays, and so does anything that is not a plain file: the folder may be writable by
// others, who could plant a link or a pipe under such a name. The entry is unlinked, never followed.
void RemoveAbandonedCopies(int folder) {
  DIR* dir = ::fdopendir(::fcntl(folder, F_DUPFD_CLOEXEC, 0));
  if (dir == nullptr) return;
  std::unique_ptr<DIR, int (*)(DIR*)> guard(dir, ::closedir);
  while (const dirent* entry = ::readdir(dir)) {
    if (!IsCopyTemporaryName(entry->d_name)) continue;
    struct stat named {};
    if (::fstatat(folder, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(named.st_mode))
      continue;
    const FileDescriptor file(
        ::openat(folder, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!file.Valid() || !TakeWriterLock(file.Get())) continue;
    // The name still has to be the file that was locked, not one put in its place meanwhile.
    if (SameFile(file.Get(), named)) ::unlinkat(folder, entry->d_name, 0);
  }
}

// Creates the temporary file of a copy in the folder and holds its lock until it goes, so that another
// copy's clean-up leaves it alone. Where the file system has no locks the copy goes ahead unlocked.
FileDescriptor CreateCopyTemporary(const std::string& folder, std::string& name) {
  for (int attempt = 0;; ++attempt) {
    name = folder + std::string(kCopyTemporaryPrefix) + std::string(kCopyTemporaryRandomLength, 'X');
    FileDescriptor file(::mkostemp(name.data(), O_CLOEXEC));
    if (!file.Valid()) return file;
    if (!TakeWriterLock(file.Get())) return file;
    // Another copy's clean-up may have taken the file between its creation and its lock.
    if (StillNamed(file.Get())) return file;
    if (attempt == 8) {
      errno = EAGAIN;
      return {};
    }
  }
}

// What is written must be on the disk before the name says it is complete; a file system that cannot
// sync (EINVAL) keeps its own promise.
void Sync(int fd, const std::string& what) {
  if (::fsync(fd) != 0 && errno != EINVAL) ThrowSystemError(what);
}

// Copies with the kernel's in-place copy where it can, else through a buffer.
void CopyContents(int in, int out, off_t length) {
  off_t done = 0;
  bool kernelCopy = true;
  while (done < length) {
    const std::size_t chunk = static_cast<std::size_t>(std::min<off_t>(length - done, off_t{1} << 30));
    if (kernelCopy) {
      const ssize_t n = copy_file_range(in, nullptr, out, nullptr, chunk, 0);
      if (n > 0) {
        done += n;
        continue;
      }
      if (n == 0) break;
      if (errno != EXDEV && errno != ENOSYS && errno != EOPNOTSUPP && errno != EINVAL)
        ThrowSystemError("copy");
      kernelCopy = false;
    }
    static thread_local std::vector<char> buffer(1 << 20);
    const ssize_t n = ::read(in, buffer.data(), std::min(chunk, buffer.size()));
    if (n < 0) {
      if (errno == EINTR) continue;
      ThrowSystemError("read");
    }
    if (n == 0) break;
    if (!linux_system::WriteAll(out, buffer.data(), static_cast<std::size_t>(n))) ThrowSystemError("write");
    done += n;
  }
  if (done != length) {
    errno = EIO;
    ThrowSystemError("the source changed while it was copied");
  }
}

class PosixFileBeingWritten final : public FileBeingWritten {
 public:
  PosixFileBeingWritten(FileDescriptor file, std::string path)
      : file_(std::move(file)), path_(std::move(path)) {}
  ~PosixFileBeingWritten() override {
    if (!file_.Valid()) return;
    // Only while the name is still this file: someone who may write the folder could have put another there.
    struct stat named {};
    if (::lstat(path_.c_str(), &named) == 0 && SameFile(file_.Get(), named)) ::unlink(path_.c_str());
  }
  PosixFileBeingWritten(const PosixFileBeingWritten&) = delete;
  PosixFileBeingWritten& operator=(const PosixFileBeingWritten&) = delete;

  void Write(std::string_view bytes) override {
    if (!file_.Valid()) {
      errno = EBADF;
      ThrowSystemError(path_);
    }
    if (!linux_system::WriteAll(file_.Get(), bytes.data(), bytes.size())) ThrowSystemError(path_);
  }

  void Complete(const std::string& finalPath) override {
    const std::string folderName = FolderOf(finalPath);
    const FileDescriptor folder(
        ::open(folderName.empty() ? "." : folderName.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.Valid()) ThrowSystemError(finalPath);
    Sync(file_.Get(), path_);
    // Renamed while its lock is still held, so that no clean-up takes it first.
    if (::rename(path_.c_str(), finalPath.c_str()) != 0) ThrowSystemError(finalPath);
    if (!file_.Close() || (::fsync(folder.Get()) != 0 && errno != EINVAL)) {
      // Not on the disk as it should be: nothing may stand under the final name as if it were.
      const int error = errno;
      ::unlink(finalPath.c_str());
      errno = error;
      ThrowSystemError(finalPath);
    }
  }

 private:
  FileDescriptor file_;
  std::string path_;
};

class PosixFileBeingRead final : public FileBeingRead {
 public:
  PosixFileBeingRead(FileDescriptor file, std::string path)
      : file_(std::move(file)), path_(std::move(path)) {}

  std::size_t Read(char* buffer, std::size_t size) override {
    for (;;) {
      const ssize_t n = ::read(file_.Get(), buffer, size);
      if (n >= 0) return static_cast<std::size_t>(n);
      if (errno != EINTR) ThrowSystemError(path_);
    }
  }

 private:
  FileDescriptor file_;
  std::string path_;
};

class PosixAppendFile final : public AppendFile {
 public:
  explicit PosixAppendFile(FileDescriptor file) : file_(std::move(file)) {}

  void Write(std::string_view bytes) override {
    if (!file_.Valid()) {
      errno = EBADF;
      ThrowSystemError("write");
    }
    if (!linux_system::WriteAll(file_.Get(), bytes.data(), bytes.size())) ThrowSystemError("write");
  }

  void Close() override {
    if (file_.Valid() && !file_.Close()) ThrowSystemError("close");
  }

 private:
  FileDescriptor file_;
};

}  // namespace

namespace linux_system {

bool LinuxFiles::CreateFolder(const std::string& path) {
  return ::mkdir(path.c_str(), kFolderPermissions) == 0;
}

bool LinuxFiles::IsFolder(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::unique_ptr<AppendFile> LinuxFiles::OpenForAppend(const std::string& path) {
  FileDescriptor file(
      ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, kLogPermissions));
  if (!file.Valid()) ThrowSystemError(path);
  return std::make_unique<PosixAppendFile>(std::move(file));
}

std::optional<std::string> LinuxFiles::ReadFile(const std::string& path, std::size_t maxBytes) {
  // O_NONBLOCK: a FIFO in the file's place must not hang the program.
  FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!file.Valid()) return std::nullopt;
  struct stat info {};
  if (::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  return linux_system::ReadUpTo(file.Get(),
                                std::min<std::size_t>(static_cast<std::size_t>(info.st_size), maxBytes));
}

std::unique_ptr<FileBeingWritten> LinuxFiles::CreateFileBeingWritten(const std::string& path) {
  for (int attempt = 0;; ++attempt) {
    FileDescriptor file(
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kCopyPermissions));
    if (!file.Valid()) ThrowSystemError(path);
    if (!TakeWriterLock(file.Get()) || StillNamed(file.Get()))
      return std::make_unique<PosixFileBeingWritten>(std::move(file), path);
    if (attempt == 8) {
      errno = EAGAIN;
      ThrowSystemError(path);
    }
  }
}

bool LinuxFiles::RemoveUnlessBeingWritten(const std::string& path) {
  struct stat named {};
  if (::lstat(path.c_str(), &named) != 0) return false;
  if (S_ISREG(named.st_mode)) {
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!file.Valid() || !TakeWriterLock(file.Get()) || !SameFile(file.Get(), named)) return false;
  }
  return ::unlink(path.c_str()) == 0;
}

std::unique_ptr<FileBeingRead> LinuxFiles::OpenForReading(const std::string& path) {
  // O_NONBLOCK: a FIFO in the file's place must not hang the program.
  FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (!file.Valid()) ThrowSystemError(path);
  struct stat info {};
  if (::fstat(file.Get(), &info) != 0) ThrowSystemError(path);
  if (!S_ISREG(info.st_mode)) {
    errno = EINVAL;
    ThrowSystemError(path);
  }
  return std::make_unique<PosixFileBeingRead>(std::move(file), path);
}

void LinuxFiles::CopyFile(const std::string& source, const std::string& destination) {
  FileDescriptor in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
  if (!in.Valid()) ThrowSystemError(source);
  struct stat info {};
  if (::fstat(in.Get(), &info) != 0) ThrowSystemError(source);
  const std::string folderName = FolderOf(destination);
  const FileDescriptor folder(
      ::open(folderName.empty() ? "." : folderName.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!folder.Valid()) ThrowSystemError(destination);
  RemoveAbandonedCopies(folder.Get());
  std::string temporary;
  FileDescriptor out = CreateCopyTemporary(folderName, temporary);
  if (!out.Valid()) ThrowSystemError(destination);
  try {
    ::fchmod(out.Get(), kCopyPermissions);
    CopyContents(in.Get(), out.Get(), info.st_size);
    Sync(out.Get(), destination);
    // Renamed while its lock is still held, so that no other copy's clean-up takes it first.
    if (::rename(temporary.c_str(), destination.c_str()) != 0) ThrowSystemError(destination);
    if (!out.Close()) ThrowSystemError(destination);
  } catch (...) {
    ::unlink(temporary.c_str());
    throw;
  }
  // The rename itself is on the disk only once the folder is.
  Sync(folder.Get(), destination);
}

std::vector<std::string> LinuxFiles::ListFolder(const std::string& folder) {
  std::vector<std::string> list;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return list;
  std::unique_ptr<DIR, int (*)(DIR*)> guard(dir, ::closedir);
  while (const dirent* entry = ::readdir(dir)) {
    bool isDirectory = entry->d_type == DT_DIR;
    if (entry->d_type == DT_UNKNOWN) {
      struct stat info {};
      isDirectory =
          ::fstatat(::dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(info.st_mode);
    }
    if (!isDirectory) list.push_back(folder + "/" + entry->d_name);
  }
  return list;
}

std::optional<TimePoint> LinuxFiles::LastWriteTime(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return std::nullopt;
  return std::chrono::system_clock::from_time_t(info.st_mtime);
}

bool LinuxFiles::RemoveFile(const std::string& path) {
  return ::unlink(path.c_str()) == 0;
}

}  // namespace linux_system

std::unique_ptr<Files> MachineFiles() {
  return std::make_unique<linux_system::LinuxFiles>();
}

}  // namespace platform
