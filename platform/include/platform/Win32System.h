#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/System.h"

namespace platform {

// The machine's own answers on Windows, through the wide (UTF-16) API; paths and texts are UTF-8 on
// this side as on Linux. Tests derive from it and replace what they must, as from LinuxSystem.
class Win32System : public System {
 public:
  TimePoint Now() override;
  LocalDateTime ToLocal(TimePoint moment) override;
  // The user's date and time separators (LOCALE_SDATE, LOCALE_STIME), as the old program read them.
  char DateSeparator() override;
  char TimeSeparator() override;
  void Sleep(std::chrono::milliseconds duration) override;

  [[noreturn]] void EndProcess(int exitCode) override;
  // With the system's own separators: "C:\Kelmora\kelmora-backup-run.exe".
  std::string ExecutablePath() override;

  void ShowMessage(MessageBoxKind kind, std::string_view text) override;

  std::optional<std::string> Variable(const std::string& name) override;
  bool SetVariable(const std::string& name, const std::string& value) override;
  bool UnsetVariable(const std::string& name) override;

  // Made with an access list of its own, not inherited: its owner, SYSTEM and the administrators.
  bool CreateFolder(const std::string& path) override;
  bool IsFolder(const std::string& path) override;
  // A reparse point (a symbolic link or a junction) in the file's place is refused: ERROR_CANT_ACCESS_FILE.
  std::unique_ptr<AppendFile> OpenForAppend(const std::string& path) override;
  std::optional<std::string> ReadFile(const std::string& path, std::size_t maxBytes) override;
  // Written under a temporary name beside the destination, flushed to the disk, then moved over it with
  // MoveFileExW(MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH).
  void CopyFile(const std::string& source, const std::string& destination) override;
  std::vector<std::string> ListFolder(const std::string& folder) override;
  std::optional<TimePoint> LastWriteTime(const std::string& path) override;
  bool RemoveFile(const std::string& path) override;
  std::optional<FileStamp> Stamp(const std::string& path) override;
  // Others are everyone but the file's owner, SYSTEM and the administrators: Everyone, the Users and
  // Authenticated Users groups, and any other account the access list names.
  std::optional<FileExposure> Exposure(const std::string& path) override;
  // Windows names an account by a security identifier, not a number: the id is this process's own
  // index into the accounts it has looked up (an account name, "DOMAIN\name", or a SID string "S-1-...").
  std::optional<std::uint32_t> AccountId(const std::string& account) override;
  std::uint32_t OwnId() override;
  // Adds full control for the account to the folder and, inherited, to everything made in it.
  bool ShareFolder(const std::string& folder, std::uint32_t accountId) override;

  // The machine-wide Run key (HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Run) stands
  // for the autostart folder: an entry "<name>.desktop" is the value <name>, its contents the value's data.
  std::string AutostartFolder() override;
  bool AutostartFolderUsable(bool createWhenMissing) override;
  std::optional<std::string> ReadAutostartEntry(const std::string& fileName) override;
  bool WriteAutostartEntry(const std::string& fileName, const std::string& contents) override;
  void RemoveAutostartEntry(const std::string& fileName) override;

  // SearchPathW: the program's folder, the current folder, the system folders, then PATH.
  std::string ResolveProgram(const std::string& file) override;
  bool LaunchDetached(const std::string& program) override;
  int RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                 std::string_view input) override;

  // A bare file name is looked for beside the program first, then in the system's search order; a path
  // is loaded as it stands.
  Handle OpenLibrary(const std::string& fileName) override;
  void* LookUp(Handle library, const char* name) override;
  void CloseLibrary(Handle library) override;
  std::string LibraryError() override;

  std::unique_ptr<TcpConnection> ConnectTcp(const std::string& host, std::uint16_t port,
                                            std::chrono::milliseconds timeout) override;

 private:
  std::mutex accountsMutex_;
  // The security identifiers AccountId has handed out, as binary SIDs; an id is an index.
  std::vector<std::vector<unsigned char>> accounts_;

  std::optional<std::uint32_t> RememberAccount(const void* sid);
  std::vector<unsigned char> AccountSid(std::uint32_t id);
};

}  // namespace platform
