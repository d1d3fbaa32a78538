#pragma once

#include <QString>

#include "platform/System.h"

class QDialog;

namespace app {
class TRxTrayIcon;
}

namespace app {

using platform::MessageBoxKind;

// The system as the desktop program asks it: boxes and modal windows through the window toolkit, and the
// date and time separators of the user's locale as the toolkit reads it. Everything else is answered by
// the machine's own system. Tests derive from it to record boxes, skip sleeps and set the clock.
class DesktopSystem : public platform::System {
 public:
  explicit DesktopSystem(platform::System& machine = platform::Machine()) : machine_(machine) {}

  void ShowMessage(MessageBoxKind kind, std::string_view text) override;
  char DateSeparator() override;
  char TimeSeparator() override;
  // Shows a window modally and returns when it is closed.
  virtual void ExecModal(QDialog& dialog);
  // A notification from the program's icon in the notification area; it does not wait for the user.
  virtual void Notify(TRxTrayIcon& icon, const QString& title, const QString& text);

  // The machine's answers.
  platform::TimePoint Now() override { return machine_.Now(); }
  platform::LocalDateTime ToLocal(platform::TimePoint moment) override { return machine_.ToLocal(moment); }
  void Sleep(std::chrono::milliseconds duration) override { machine_.Sleep(duration); }
  [[noreturn]] void EndProcess(int exitCode) override;
  std::string ExecutablePath() override { return machine_.ExecutablePath(); }
  std::optional<std::string> Variable(const std::string& name) override { return machine_.Variable(name); }
  bool SetVariable(const std::string& name, const std::string& value) override {
    return machine_.SetVariable(name, value);
  }
  bool UnsetVariable(const std::string& name) override { return machine_.UnsetVariable(name); }
  bool CreateFolder(const std::string& path) override { return machine_.CreateFolder(path); }
  bool IsFolder(const std::string& path) override { return machine_.IsFolder(path); }
  std::unique_ptr<platform::AppendFile> OpenForAppend(const std::string& path) override {
    return machine_.OpenForAppend(path);
  }
  std::optional<std::string> ReadFile(const std::string& path, std::size_t maxBytes) override {
    return machine_.ReadFile(path, maxBytes);
  }
  void CopyFile(const std::string& source, const std::string& destination) override {
    machine_.CopyFile(source, destination);
  }
  std::vector<std::string> ListFolder(const std::string& folder) override {
    return machine_.ListFolder(folder);
  }
  std::optional<platform::TimePoint> LastWriteTime(const std::string& path) override {
    return machine_.LastWriteTime(path);
  }
  bool RemoveFile(const std::string& path) override { return machine_.RemoveFile(path); }
  std::optional<platform::FileStamp> Stamp(const std::string& path) override { return machine_.Stamp(path); }
  std::optional<platform::FileExposure> Exposure(const std::string& path) override {
    return machine_.Exposure(path);
  }
  std::optional<std::uint32_t> AccountId(const std::string& account) override {
    return machine_.AccountId(account);
  }
  std::uint32_t OwnId() override { return machine_.OwnId(); }
  bool ShareFolder(const std::string& folder, std::uint32_t accountId) override {
    return machine_.ShareFolder(folder, accountId);
  }
  std::string AutostartFolder() override { return machine_.AutostartFolder(); }
  bool AutostartFolderUsable(bool createWhenMissing) override {
    return machine_.AutostartFolderUsable(createWhenMissing);
  }
  std::optional<std::string> ReadAutostartEntry(const std::string& fileName) override {
    return machine_.ReadAutostartEntry(fileName);
  }
  bool WriteAutostartEntry(const std::string& fileName, const std::string& contents) override {
    return machine_.WriteAutostartEntry(fileName, contents);
  }
  void RemoveAutostartEntry(const std::string& fileName) override { machine_.RemoveAutostartEntry(fileName); }
  std::string ResolveProgram(const std::string& file) override { return machine_.ResolveProgram(file); }
  bool LaunchDetached(const std::string& program) override { return machine_.LaunchDetached(program); }
  int RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                 std::string_view input) override {
    return machine_.RunProgram(program, arguments, input);
  }
  Handle OpenLibrary(const std::string& fileName) override { return machine_.OpenLibrary(fileName); }
  void* LookUp(Handle library, const char* name) override { return machine_.LookUp(library, name); }
  void CloseLibrary(Handle library) override { machine_.CloseLibrary(library); }
  std::string LibraryError() override { return machine_.LibraryError(); }
  std::unique_ptr<platform::TcpConnection> ConnectTcp(const std::string& host, std::uint16_t port,
                                                      std::chrono::milliseconds timeout) override {
    return machine_.ConnectTcp(host, port, timeout);
  }

 private:
  platform::System& machine_;
};

// The desktop system in use: the one installed as platform::Current(), or else the desktop's own, which
// is then installed.
DesktopSystem& Desktop();

// A box with a text of the window toolkit.
void ShowMessage(MessageBoxKind kind, const QString& text);

}  // namespace app
