#include <windows.h>

#include "Wide.h"
#include "platform/Machine.h"

namespace platform {
namespace {

using win32::ToWide;
using win32::UniqueHandle;

class LockedFolder final : public FolderLock {
 public:
  explicit LockedFolder(UniqueHandle file) : file_(std::move(file)) {}

 private:
  // Closing the handle frees the lock; so does the process's end, however it comes.
  UniqueHandle file_;
};

FolderLockAttempt Failure(DWORD error) {
  return {FolderLockAttempt::Outcome::Failed, nullptr, win32::ErrorText(error)};
}

// LockFileEx on the first byte of "<folder>\.lock", as flock on Linux: the lock belongs to the open handle,
// so two attempts of one process exclude each other as two processes do. Nothing is ever written to the
// file. A link or a junction at that name is opened itself, never followed, and refused.
class LockFileExFolderLocks final : public FolderLocks {
 public:
  FolderLockAttempt TryLockFolder(const std::string& folder) override {
    const bool separated = folder.ends_with('/') || folder.ends_with('\\');
    const std::wstring name = ToWide(folder + (separated ? "" : "\\") + ".lock");
    // Others who share the folder open it too, to ask for the same lock; deleting it stays possible so
    // that the folder can go.
    UniqueHandle file(CreateFileW(
        name.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file.Valid()) return Failure(GetLastError());
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file.Get(), &info)) return Failure(GetLastError());
    if ((info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0)
      return Failure(ERROR_CANT_RESOLVE_FILENAME);
    OVERLAPPED start{};
    if (!LockFileEx(file.Get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &start)) {
      const DWORD error = GetLastError();
      if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING)
        return {FolderLockAttempt::Outcome::HeldByAnother, nullptr, {}};
      return Failure(error);
    }
    // Fresh, so that a clean-up of the folder's old files (the backups' retention) leaves it alone while
    // it is held.
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    SetFileTime(file.Get(), nullptr, nullptr, &now);
    return {FolderLockAttempt::Outcome::Taken, std::make_unique<LockedFolder>(std::move(file)), {}};
  }
};

}  // namespace

std::unique_ptr<FolderLocks> MachineFolderLocks() {
  return std::make_unique<LockFileExFolderLocks>();
}

}  // namespace platform
