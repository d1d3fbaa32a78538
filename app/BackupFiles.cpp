#include "app/BackupFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "app/Exceptions.h"

namespace app {
namespace {

[[noreturn]] void ThrowSystemError(const std::string& what) {
  throw std::system_error(errno, std::generic_category(), what);
}

// Closes a descriptor when the scope ends.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int Get() const { return fd_; }
  int Release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

// Copies with the kernel's in-place copy where it can, else through a buffer.
void CopyContents(int in, int out, off_t length) {
  off_t done = 0;
  bool kernelCopy = true;
  while (done < length) {
    const size_t chunk = static_cast<size_t>(std::min<off_t>(length - done, off_t{1} << 30));
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
    for (ssize_t written = 0; written < n;) {
      const ssize_t w = ::write(out, buffer.data() + written, static_cast<size_t>(n - written));
      if (w < 0) {
        if (errno == EINTR) continue;
        ThrowSystemError("write");
      }
      written += w;
    }
    done += n;
  }
  if (done != length) {
    errno = EIO;
    ThrowSystemError("the source changed while it was copied");
  }
}

}  // namespace

void CopyFileBytes(const std::string& source, const std::string& destination) {
  FileDescriptor in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
  if (in.Get() < 0) ThrowSystemError(source);
  struct stat info {};
  if (::fstat(in.Get(), &info) != 0) ThrowSystemError(source);
  std::string temporary = FolderOf(destination) + ".backup-copy-XXXXXX";
  FileDescriptor out(::mkostemp(temporary.data(), O_CLOEXEC));
  if (out.Get() < 0) ThrowSystemError(destination);
  try {
    ::fchmod(out.Get(), 0644);
    CopyContents(in.Get(), out.Get(), info.st_size);
    if (::close(out.Release()) != 0) ThrowSystemError(destination);
    if (::rename(temporary.c_str(), destination.c_str()) != 0) ThrowSystemError(destination);
  } catch (...) {
    ::unlink(temporary.c_str());
    throw;
  }
}

std::unique_ptr<std::vector<std::string>> ListFolder(const std::string& folder) {
  auto list = std::make_unique<std::vector<std::string>>();
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
    if (!isDirectory) list->push_back(folder + "/" + entry->d_name);
  }
  return list;
}

std::optional<QDateTime> LastWriteTime(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return std::nullopt;
  QDateTime local = QDateTime::fromSecsSinceEpoch(info.st_mtime);
  const QTime time = local.time();
  return QDateTime(local.date(), QTime(time.hour(), time.minute(), time.second() & ~1));
}

bool IsExpired(const QDateTime& lastWrite, const QDateTime& now, int retentionDays) {
  const QDateTime limit(now.date().addDays(-static_cast<qint64>(retentionDays)), QTime(0, 0));
  return limit >= lastWrite;
}

LogFile::LogFile(const std::string& path) {
  fd_ = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd_ < 0) throw EInOutError(errno);
}

LogFile::~LogFile() {
  if (fd_ >= 0) ::close(fd_);
}

void LogFile::Append(const std::string& bytes) {
  if (fd_ < 0) throw EInOutError(EBADF);
  for (size_t done = 0; done < bytes.size();) {
    const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw EInOutError(errno);
    }
    done += static_cast<size_t>(n);
  }
}

void LogFile::Close() {
  if (fd_ < 0) return;
  const int fd = std::exchange(fd_, -1);
  if (::close(fd) != 0) throw EInOutError(errno);
}

}  // namespace app
