#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>

#include "FileDescriptor.h"
#include "platform/Machine.h"

namespace platform {
namespace {

using linux_system::FileDescriptor;

constexpr mode_t kEntryPermissions = 0644;
constexpr mode_t kFolderPermissions = 0755;
// Far above any real entry; a larger file is not ours to read.
constexpr off_t kLargestEntry = 1 << 20;

void CreateFolderPath(const std::string& path) {
  for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    ::mkdir(path.substr(0, slash).c_str(), kFolderPermissions);
    if (slash == std::string::npos) break;
  }
}

// The folder opened for reading and writing, as the machine-wide list of programs started at log-on was
// always opened; invalid when that is not possible.
FileDescriptor OpenFolder(const std::string& folder) {
  FileDescriptor descriptor(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!descriptor.Valid()) return {};
  if (::faccessat(AT_FDCWD, folder.c_str(), R_OK | W_OK | X_OK, AT_EACCESS) != 0) return {};
  return descriptor;
}

std::string TemporaryName(const std::string& entryFileName) {
  static std::mt19937_64 generator{std::random_device{}()};
  // Hidden and without the ".desktop" ending, so that no session starts a half-written entry.
  return "." + entryFileName + "." + std::to_string(generator());
}

// A file name that could step out of the folder, or no name at all, has no entry.
bool IsUsableFileName(const std::string& fileName) {
  return !fileName.empty() && fileName.find('/') == std::string::npos &&
         fileName.find('\0') == std::string::npos;
}

class LinuxAutostart final : public Autostart {
 public:
  explicit LinuxAutostart(Environment& environment) : environment_(environment) {}

  std::string AutostartFolder() override {
    const std::optional<std::string> configDirs = environment_.Variable("XDG_CONFIG_DIRS");
    std::string_view dirs = configDirs ? std::string_view(*configDirs) : std::string_view();
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

  bool AutostartFolderUsable(bool createWhenMissing) override {
    const std::string folder = AutostartFolder();
    if (createWhenMissing) CreateFolderPath(folder);
    return OpenFolder(folder).Valid();
  }

  std::optional<std::string> ReadAutostartEntry(const std::string& fileName) override {
    if (!IsUsableFileName(fileName)) return std::nullopt;
    const FileDescriptor folder = OpenFolder(AutostartFolder());
    if (!folder.Valid()) return std::nullopt;
    // O_NONBLOCK: a FIFO planted in the entry's place must not hang the program; it is refused below.
    FileDescriptor file(
        ::openat(folder.Get(), fileName.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!file.Valid()) return std::nullopt;
    struct stat status {};
    if (::fstat(file.Get(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_size > kLargestEntry) {
      return std::nullopt;
    }
    return linux_system::ReadUpTo(file.Get(), static_cast<std::size_t>(status.st_size));
  }

  bool WriteAutostartEntry(const std::string& fileName, const std::string& contents) override {
    if (!IsUsableFileName(fileName)) return false;
    CreateFolderPath(AutostartFolder());
    const FileDescriptor folder = OpenFolder(AutostartFolder());
    if (!folder.Valid()) return false;
    std::string temporary;
    FileDescriptor file;
    for (int attempt = 0; attempt < 16 && !file.Valid(); ++attempt) {
      temporary = TemporaryName(fileName);
      file =
          FileDescriptor(::openat(folder.Get(), temporary.c_str(),
                                  O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kEntryPermissions));
      if (!file.Valid() && errno != EEXIST) return false;
    }
    if (!file.Valid()) return false;
    // The creation mode passed through the umask; the entry must be readable by every user's session.
    const bool written = ::fchmod(file.Get(), kEntryPermissions) == 0 &&
                         linux_system::WriteAll(file.Get(), contents.data(), contents.size()) &&
                         ::fsync(file.Get()) == 0;
    const bool closed = file.Close();
    // A symbolic link in the entry's place is replaced by the rename, never followed.
    if (!written || !closed ||
        ::renameat(folder.Get(), temporary.c_str(), folder.Get(), fileName.c_str()) != 0) {
      ::unlinkat(folder.Get(), temporary.c_str(), 0);
      return false;
    }
    ::fsync(folder.Get());
    return true;
  }

  void RemoveAutostartEntry(const std::string& fileName) override {
    if (!IsUsableFileName(fileName)) return;
    const FileDescriptor folder = OpenFolder(AutostartFolder());
    // Removes the directory entry only: a symbolic link goes, its target stays.
    if (folder.Valid()) ::unlinkat(folder.Get(), fileName.c_str(), 0);
  }

 private:
  Environment& environment_;
};

}  // namespace

std::unique_ptr<Autostart> MachineAutostart(Environment& environment) {
  return std::make_unique<LinuxAutostart>(environment);
}

}  // namespace platform
