#pragma once

#include "platform/System.h"

namespace platform {

// The machine's own answers. Tests and the desktop program derive from it and replace what they must:
// the clock, boxes, the end of the process.
class LinuxSystem : public System {
 public:
  TimePoint Now() override;
  LocalDateTime ToLocal(TimePoint moment) override;
  char DateSeparator() override;
  char TimeSeparator() override;
  void Sleep(std::chrono::milliseconds duration) override;

  [[noreturn]] void EndProcess(int exitCode) override;
  std::string ExecutablePath() override;

  // Without a window system the box goes to the standard error stream.
  void ShowMessage(MessageBoxKind kind, std::string_view text) override;

  std::optional<std::string> Variable(const std::string& name) override;
  bool SetVariable(const std::string& name, const std::string& value) override;
  bool UnsetVariable(const std::string& name) override;

  bool CreateFolder(const std::string& path) override;
  bool IsFolder(const std::string& path) override;
  std::unique_ptr<AppendFile> OpenForAppend(const std::string& path) override;
  std::optional<std::string> ReadFile(const std::string& path, std::size_t maxBytes) override;
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

  std::string AutostartFolder() override;
  bool AutostartFolderUsable(bool createWhenMissing) override;
  std::optional<std::string> ReadAutostartEntry(const std::string& fileName) override;
  bool WriteAutostartEntry(const std::string& fileName, const std::string& contents) override;
  void RemoveAutostartEntry(const std::string& fileName) override;

  std::string ResolveProgram(const std::string& file) override;
  bool LaunchDetached(const std::string& program) override;
  int RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                 std::string_view input) override;

  Handle OpenLibrary(const std::string& fileName) override;
  void* LookUp(Handle library, const char* name) override;
  void CloseLibrary(Handle library) override;
  std::string LibraryError() override;

  std::unique_ptr<TcpConnection> ConnectTcp(const std::string& host, std::uint16_t port,
                                            std::chrono::milliseconds timeout) override;
};

}  // namespace platform
