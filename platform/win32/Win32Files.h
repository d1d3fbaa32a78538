#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/Files.h"

namespace platform::win32 {

// Files and folders through the wide (UTF-16) API; paths are UTF-8 on this side as on Linux, and "/" and
// "\\" both separate.
class Win32Files final : public Files {
 public:
  // Made with an access list of its own, not inherited: its owner, SYSTEM and the administrators.
  bool CreateFolder(const std::string& path) override;
  bool IsFolder(const std::string& path) override;
  // A reparse point (a symbolic link or a junction) in the file's place is refused:
  // ERROR_CANT_RESOLVE_FILENAME.
  std::unique_ptr<AppendFile> OpenForAppend(const std::string& path) override;
  std::optional<std::string> ReadFile(const std::string& path, std::size_t maxBytes) override;
  // Written under a temporary name beside the destination, flushed to the disk, then moved over it with
  // MoveFileExW(MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH).
  void CopyFile(const std::string& source, const std::string& destination) override;
  // Held open without delete sharing while it is written, and renamed through that handle.
  std::unique_ptr<FileBeingWritten> CreateFileBeingWritten(const std::string& path) override;
  bool RemoveUnlessBeingWritten(const std::string& path) override;
  std::unique_ptr<FileBeingRead> OpenForReading(const std::string& path) override;
  std::vector<std::string> ListFolder(const std::string& folder) override;
  std::optional<TimePoint> LastWriteTime(const std::string& path) override;
  bool RemoveFile(const std::string& path) override;
  std::optional<FileStamp> Stamp(const std::string& path) override;
  // Others are everyone but the file's owner, SYSTEM and the administrators: Everyone, the Users and
  // Authenticated Users groups, and any other account the access list names.
  std::optional<FileExposure> Exposure(const std::string& path) override;
  // Windows names an account by a security identifier, not a number: the id is this object's own index
  // into the accounts it has looked up (an account name, "DOMAIN\\name", or a SID string "S-1-...").
  std::optional<std::uint32_t> AccountId(const std::string& account) override;
  std::uint32_t OwnId() override;
  // Adds full control for the account and for us to the folder and, inherited, to everything made in it.
  bool ShareFolder(const std::string& folder, std::uint32_t accountId) override;
  bool OthersMayWriteIn(const std::string& folder, const std::vector<std::uint32_t>& accounts) override;
  std::unique_ptr<PrivateFolder> CreatePrivateFolder(const std::string& parent,
                                                     std::optional<std::uint32_t> accountId) override;
  // Told from the folder's access list for the account itself: an entry that grants it the right to add
  // files and none that denies it. Its groups are not looked at.
  bool AccountMayWrite(const std::string& folder, std::uint32_t accountId) override;

 private:
  std::optional<std::uint32_t> RememberAccount(const void* sid);
  std::vector<unsigned char> AccountSid(std::uint32_t id);

  std::mutex accountsMutex_;
  // The security identifiers AccountId has handed out, as binary SIDs; an id is an index.
  std::vector<std::vector<unsigned char>> accounts_;
};

}  // namespace platform::win32
