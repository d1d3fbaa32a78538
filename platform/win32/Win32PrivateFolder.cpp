#include <windows.h>
// After windows.h, which it needs.
#include <bcrypt.h>

#include <string_view>
#include <system_error>

#include "Wide.h"
#include "Win32Files.h"

namespace platform::win32 {
namespace {

[[noreturn]] void ThrowError(DWORD code, const std::string& what) {
  throw std::system_error(static_cast<int>(code), std::system_category(), what);
}

// ".kelmora-" and twelve letters and digits from the system's random source.
std::string UnforeseeableName() {
  constexpr std::string_view kLetters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  unsigned char random[12];
  const NTSTATUS status = BCryptGenRandom(nullptr, random, sizeof random, BCRYPT_USE_SYSTEM_PREFERRED_RNG);
  if (status < 0) ThrowError(ERROR_GEN_FAILURE, "BCryptGenRandom");
  std::string name = ".kelmora-";
  for (const unsigned char byte : random)
    name += kLetters[byte % kLetters.size()];
  return name;
}

// The folder is made with an access list of its own (CreateFolder's); the names are the program's.
class Win32PrivateFolder final : public PrivateFolder {
 public:
  Win32PrivateFolder(std::string parent, std::string name)
      : name_(std::move(name)), path_(std::move(parent) + name_ + "\\") {}

  ~Win32PrivateFolder() override {
    if (kept_) return;
    WIN32_FIND_DATAW entry{};
    HANDLE search = FindFirstFileExW(ToWide(path_ + "*").c_str(), FindExInfoBasic, &entry,
                                     FindExSearchNameMatch, nullptr, 0);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        // DeleteFileW removes a link itself, never its target, and leaves folders alone.
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
          DeleteFileW((ToWide(path_) + entry.cFileName).c_str());
      } while (FindNextFileW(search, &entry));
      FindClose(search);
    }
    RemoveDirectoryW(ToWide(path_).c_str());
  }
  Win32PrivateFolder(const Win32PrivateFolder&) = delete;
  Win32PrivateFolder& operator=(const Win32PrivateFolder&) = delete;

  const std::string& Path() const override { return path_; }
  const std::string& Name() const override { return name_; }

  MoveOutcome MoveOut(const std::string& name, const std::string& destination) override {
    // Without MOVEFILE_REPLACE_EXISTING a name that is taken stays as it is.
    if (MoveFileExW(ToWide(path_ + name).c_str(), ToWide(destination).c_str(), MOVEFILE_WRITE_THROUGH))
      return MoveOutcome::Moved;
    const DWORD error = GetLastError();
    return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? MoveOutcome::NameTaken
                                                                       : MoveOutcome::Failed;
  }

  void Keep() override { kept_ = true; }

 private:
  std::string name_;
  std::string path_;
  bool kept_ = false;
};

}  // namespace

std::unique_ptr<PrivateFolder> Win32Files::CreatePrivateFolder(const std::string& parent,
                                                               std::optional<std::uint32_t> accountId) {
  const std::string separated = parent.ends_with('/') || parent.ends_with('\\') ? parent : parent + "\\";
  for (int attempt = 0;; ++attempt) {
    const std::string name = UnforeseeableName();
    if (!CreateFolder(separated + name)) {
      const DWORD error = GetLastError();
      if (error == ERROR_ALREADY_EXISTS && attempt < 8) continue;
      ThrowError(error, separated + name);
    }
    auto folder = std::make_unique<Win32PrivateFolder>(separated, name);
    if (accountId && !ShareFolder(folder->Path(), *accountId))
      ThrowError(ERROR_ACCESS_DENIED, folder->Path());
    return folder;
  }
}

}  // namespace platform::win32
