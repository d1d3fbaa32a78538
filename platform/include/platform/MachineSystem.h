#pragma once

#include <memory>

#include "platform/System.h"

namespace platform {

// The machine's own answers as one System. Tests and the desktop program derive from it and replace what
// they must: the clock, boxes, the end of the process. The autostart folder and the program look-up read
// the environment through this object, so a replaced Variable applies to them too.
class MachineSystem : public System {
 public:
  MachineSystem();
  ~MachineSystem() override;
  MachineSystem(const MachineSystem&) = delete;
  MachineSystem& operator=(const MachineSystem&) = delete;

  TimePoint Now() override;
  LocalDateTime ToLocal(TimePoint moment) override;
  char DateSeparator() override;
  char TimeSeparator() override;
  void Sleep(std::chrono::milliseconds duration) override;

  [[noreturn]] void EndProcess(int exitCode) override;
  std::string ExecutablePath() override;

  void ShowMessage(MessageBoxKind kind, std::string_view text) override;

  std::optional<std::string> Variable(const std::string& name) override;
  bool SetVariable(const std::string& name, const std::string& value) override;
  bool UnsetVariable(const std::string& name) override;

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
  bool OthersMayWriteIn(const std::string& folder, const std::vector<std::uint32_t>& accounts) override;
  std::unique_ptr<PrivateFolder> CreatePrivateFolder(const std::string& parent,
                                                     std::optional<std::uint32_t> accountId) override;
  bool ShareFolder(const std::string& folder, std::uint32_t accountId) override;
  bool AccountMayWrite(const std::string& folder, std::uint32_t accountId) override;

  std::string AutostartFolder() override;
  bool AutostartFolderUsable(bool createWhenMissing) override;
  std::optional<std::string> ReadAutostartEntry(const std::string& fileName) override;
  bool WriteAutostartEntry(const std::string& fileName, const std::string& contents) override;
  void RemoveAutostartEntry(const std::string& fileName) override;

  std::string ResolveProgram(const std::string& file) override;
  bool LaunchDetached(const std::string& program) override;

  Handle OpenLibrary(const std::string& fileName) override;
  void* LookUp(Handle library, const char* name) override;
  void CloseLibrary(Handle library) override;
  std::string LibraryError() override;

  HttpReply Get(const std::string& url, std::chrono::milliseconds deadline) override;
  HttpReply Post(const std::string& url, std::string_view body, std::chrono::milliseconds deadline) override;

  FolderLockAttempt TryLockFolder(const std::string& folder) override;

 private:
  std::unique_ptr<Clock> clock_;
  std::unique_ptr<Process> process_;
  std::unique_ptr<Boxes> boxes_;
  std::unique_ptr<Environment> environment_;
  std::unique_ptr<Files> files_;
  std::unique_ptr<Autostart> autostart_;
  std::unique_ptr<Launcher> launcher_;
  std::unique_ptr<Libraries> libraries_;
  std::unique_ptr<HttpClient> http_;
  std::unique_ptr<FolderLocks> folderLocks_;
};

}  // namespace platform
