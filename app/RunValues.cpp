#include "app/RunValues.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <cerrno>
#include <cstdlib>
#include <optional>
#include <random>
#include <utility>

#include "app/DesktopEntry.h"
#include "app/Platform.h"
#include "app/Text.h"

namespace app {
namespace {

constexpr mode_t kEntryPermissions = 0644;
constexpr mode_t kFolderPermissions = 0755;
// Far above any real entry; a larger file is not ours to read.
constexpr off_t kLargestEntry = 1 << 20;

class FileDescriptor {
 public:
  FileDescriptor() = default;
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
      if (fd_ >= 0) ::close(fd_);
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }

  int Get() const { return fd_; }
  bool Valid() const { return fd_ >= 0; }
  // Closes now, so that a failed close (data not written) can be reported.
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_ = -1;
};

std::string Utf8(const std::string& cp1252Text) {
  return FromCp1252(cp1252Text).toUtf8().toStdString();
}

// A value name becomes a file name; one that could step out of the folder or is no name at all has no
// entry.
bool IsUsableName(const std::string& name) {
  return !name.empty() && name.find('/') == std::string::npos && name.find('\0') == std::string::npos;
}

std::string EntryFileName(const std::string& name) {
  return Utf8(name) + ".desktop";
}

void CreateFolderPath(const std::string& path) {
  for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    ::mkdir(path.substr(0, slash).c_str(), kFolderPermissions);
    if (slash == std::string::npos) break;
  }
}

// Opens the folder for reading and writing, as the Run key was opened; invalid when that is not possible.
FileDescriptor OpenRunFolder(bool createWhenMissing) {
  const std::string folder = RunFolder();
  if (createWhenMissing) CreateFolderPath(folder);
  FileDescriptor descriptor(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!descriptor.Valid()) return {};
  if (::faccessat(AT_FDCWD, folder.c_str(), R_OK | W_OK | X_OK, AT_EACCESS) != 0) return {};
  return descriptor;
}

bool WriteAll(int fd, const std::string& bytes) {
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    written += static_cast<std::size_t>(n);
  }
  return true;
}

std::string TemporaryName(const std::string& entryFileName) {
  static std::mt19937_64 generator{std::random_device{}()};
  // Hidden and without the ".desktop" ending, so that no session starts a half-written entry.
  return "." + entryFileName + "." + std::to_string(generator());
}

// Writes contents under a temporary name in the folder and renames it over the entry. False on any
// failure, with nothing left behind.
bool ReplaceEntry(int folder, const std::string& entryFileName, const std::string& contents) {
  std::string temporary;
  FileDescriptor file;
  for (int attempt = 0; attempt < 16 && !file.Valid(); ++attempt) {
    temporary = TemporaryName(entryFileName);
    file = FileDescriptor(::openat(folder, temporary.c_str(),
                                   O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kEntryPermissions));
    if (!file.Valid() && errno != EEXIST) return false;
  }
  if (!file.Valid()) return false;
  // The creation mode passed through the umask; the entry must be readable by every user's session.
  const bool written = ::fchmod(file.Get(), kEntryPermissions) == 0 && WriteAll(file.Get(), contents) &&
                       ::fsync(file.Get()) == 0;
  const bool closed = file.Close();
  if (!written || !closed || ::renameat(folder, temporary.c_str(), folder, entryFileName.c_str()) != 0) {
    ::unlinkat(folder, temporary.c_str(), 0);
    return false;
  }
  ::fsync(folder);
  return true;
}

std::optional<std::string> ReadEntryFile(int folder, const std::string& entryFileName) {
  // O_NONBLOCK: a FIFO planted in the entry's place must not hang the program; it is refused below.
  FileDescriptor file(
      ::openat(folder, entryFileName.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (!file.Valid()) return std::nullopt;
  struct stat status {};
  if (::fstat(file.Get(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_size > kLargestEntry) {
    return std::nullopt;
  }
  std::string contents(static_cast<std::size_t>(status.st_size), '\0');
  std::size_t done = 0;
  while (done < contents.size()) {
    const ssize_t n = ::read(file.Get(), contents.data() + done, contents.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  contents.resize(done);
  return contents;
}

}  // namespace

std::string RunFolder() {
  const char* configDirs = std::getenv("XDG_CONFIG_DIRS");
  std::string_view dirs = configDirs != nullptr ? configDirs : "";
  while (!dirs.empty()) {
    const auto colon = dirs.find(':');
    std::string_view entry = dirs.substr(0, colon);
    dirs = colon == std::string_view::npos ? std::string_view() : dirs.substr(colon + 1);
    // Relative entries are invalid and to be ignored.
    if (entry.empty() || entry.front() != '/') continue;
    while (entry.size() > 1 && entry.back() == '/')
      entry.remove_suffix(1);
    return std::string(entry == "/" ? "" : entry) + "/autostart";
  }
  return "/etc/xdg/autostart";
}

void WriteRunValue(const std::string& name, const std::string& data, bool once) {
  const ERegistryException failure("Failed to set data for '" + name + "'");
  if (once || !IsUsableName(name)) throw failure;
  const FileDescriptor folder = OpenRunFolder(true);
  if (!folder.Valid()) throw failure;
  if (!ReplaceEntry(folder.Get(), EntryFileName(name), ComposeAutostartEntry(Utf8(name), Utf8(data)))) {
    throw failure;
  }
}

void DeleteRunValue(const std::string& name) {
  const FileDescriptor folder = OpenRunFolder(false);
  if (!folder.Valid()) {
    CurrentPlatform().ShowMessage(QApplication::activeWindow(), MessageBoxKind::Plain,
                                  QStringLiteral("Key not found"));
    return;
  }
  // Removes the directory entry only: a symbolic link goes, its target stays.
  if (IsUsableName(name)) ::unlinkat(folder.Get(), EntryFileName(name).c_str(), 0);
}

bool HasRunValue(const std::string& name) {
  return !ReadRunValue(name).empty();
}

std::string ReadRunValue(const std::string& name) {
  if (!IsUsableName(name)) return {};
  const FileDescriptor folder = OpenRunFolder(false);
  if (!folder.Valid()) return {};
  const std::optional<std::string> contents = ReadEntryFile(folder.Get(), EntryFileName(name));
  if (!contents) return {};
  const std::optional<std::string> exec = ReadEntryKey(*contents, "Exec");
  if (!exec) return {};
  const auto arguments = SplitExecArguments(*exec);
  QString data;
  if (!arguments) {
    data = QString::fromUtf8(*exec);
  } else {
    for (const std::string& argument : *arguments) {
      if (!data.isEmpty()) data += QLatin1Char(' ');
      data += QString::fromUtf8(argument);
    }
  }
  return ToCp1252(data);
}

}  // namespace app
