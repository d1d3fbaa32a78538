#pragma once

#include "platform/Files.h"

namespace platform::linux_system {

// Files and folders through POSIX calls; the accounts and access lists in LinuxAccess.cpp.
class LinuxFiles final : public Files {
 public:
  bool CreateFolder(const std::string& path) override;
  bool IsFolder(const std::string& path) override;
  std::unique_ptr<AppendFile> OpenForAppend(const std::string& path) override;
  std::optional<std::string> ReadFile(const std::string& path, std::size_t maxBytes) override;
  std::unique_ptr<FileBeingWritten> CreateFileBeingWritten(const std::string& path) override;
  bool RemoveUnlessBeingWritten(const std::string& path) override;
  std::unique_ptr<FileBeingRead> OpenForReading(const std::string& path) override;
  void CopyFile(const std::string& source, const std::string& destination) override;
  std::vector<std::string> ListFolder(const std::string& folder) override;
  std::optional<TimePoint> LastWriteTime(const std::string& path) override;
  bool RemoveFile(const std::string& path) override;
  std::optional<FileStamp> Stamp(const std::string& path) override;
  std::optional<FileExposure> Exposure(const std::string& path) override;
  std::optional<std::uint32_t> AccountId(const std::string& account) override;
  std::uint32_t OwnId() override;
  // Through the folder's POSIX access lists: the account and we get every right on the folder, and its
  // default list gives the same to both on what is created in it, nothing to others.
  bool ShareFolder(const std::string& folder, std::uint32_t accountId) override;
  bool OthersMayWriteIn(const std::string& folder, const std::vector<std::uint32_t>& accounts) override;
  std::unique_ptr<PrivateFolder> CreatePrivateFolder(const std::string& parent,
                                                     std::optional<std::uint32_t> accountId) override;
  bool AccountMayWrite(const std::string& folder, std::uint32_t accountId) override;
};

}  // namespace platform::linux_system
