#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/Accounts.h"

namespace testsupport {

// A private X display (Xvfb) for end-to-end tests of the real program, optionally with a notification
// area host (trayer). Both are killed when the object goes away. The display admits only clients that
// hold its cookie (its authority file), not every local user of a shared machine; the programs started
// through this object get it.
class XDisplay {
 public:
  explicit XDisplay(bool withTray = false);
  // An existing display (a user's desktop), which this object neither starts nor stops; its clients use
  // the authority of this process's environment.
  explicit XDisplay(const std::string& existingName);
  ~XDisplay();
  XDisplay(const XDisplay&) = delete;
  XDisplay& operator=(const XDisplay&) = delete;

  // ":N", for the DISPLAY variable of the programs started on it.
  const std::string& Name() const { return name_; }
  // The authority file holding the display's cookie (empty for an existing display). A client in this
  // process (Xlib, xcb, Qt) needs XAUTHORITY set to it.
  const std::filesystem::path& AuthorityFile() const { return authority_; }
  // DISPLAY, and XAUTHORITY when there is an authority file: the environment entries of a client.
  std::vector<std::string> ClientEnvironment() const;
  // The tray host's own window id, when there is one.
  std::string TrayWindow() const;

  // Runs an X client (xdotool, xwininfo, import, ...) on this display and returns its output.
  std::string Run(const std::vector<std::string>& argv, int* exitCode = nullptr) const;
  // Window ids whose name matches the regular expression (xdotool search --name); visible ones only
  // unless all is true.
  std::vector<std::string> FindWindows(const std::string& nameRegex, bool all = false) const;
  // Waits until a visible window of that name exists and returns its id (empty on time-out).
  std::string WaitForWindow(const std::string& nameRegex,
                            std::chrono::milliseconds timeout = std::chrono::seconds(60)) const;
  // Whether the window is mapped (viewable) right now.
  bool IsViewable(const std::string& window) const;
  // Children of a window (xwininfo -children), as window ids.
  std::vector<std::string> Children(const std::string& window) const;
  // Geometry of a window on the screen: x, y, width, height.
  struct Geometry {
    int x = 0, y = 0, width = 0, height = 0;
  };
  Geometry GeometryOf(const std::string& window) const;
  // Mouse actions in screen coordinates; button 1 left, 2 middle, 3 right.
  void Click(int x, int y, int button = 1) const;
  void ClickWindow(const std::string& window, int relativeX, int relativeY, int button = 1) const;
  void Key(const std::string& window, const std::string& keys) const;
  // Saves a picture of the whole screen.
  void Screenshot(const std::filesystem::path& png) const;

 private:
  void StartServer();
  void StartTray();
  void Shutdown();

  pid_t xvfb_ = -1;
  pid_t tray_ = -1;
  std::string name_;
  std::filesystem::path folder_;
  std::filesystem::path authority_;
};

// The path of the program built with the tests.
std::filesystem::path BuiltProgram();

// A temporary program folder holding a copy of the real executable and, when given, a sistema.ini;
// removed with the object.
class ProgramFolder {
 public:
  ProgramFolder();
  // A program folder of a given name (accents allowed: the name is UTF-8, as the file system's) inside a
  // parent folder the caller owns, belonging to the account when one is given, as a user's own folder
  // does (0755).
  ProgramFolder(const std::filesystem::path& parent, const std::string& name,
                const std::optional<Account>& owner = std::nullopt);
  ~ProgramFolder();
  ProgramFolder(const ProgramFolder&) = delete;
  ProgramFolder& operator=(const ProgramFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::filesystem::path Executable() const { return path_ / BuiltProgram().filename(); }
  void WriteIni(const std::string& bytes) const;
  // A sistema.ini naming a database location and, optionally, the server system.
  void WriteIni(const std::string& location, const std::string& serverSystem) const;

 private:
  std::filesystem::path path_;
  std::optional<Account> owner_;
};

// The real program started on a display. Killed when the object goes away if it is still running.
class RunningProgram {
 public:
  RunningProgram(const XDisplay& display, const ProgramFolder& folder,
                 const std::vector<std::string>& arguments,
                 const std::vector<std::string>& extraEnvironment = {});
  // Under an unprivileged account (through setpriv; needs root), as a desktop user runs it: with a home
  // folder of its own (0700) holding its copy of the display's cookie and its runtime folder.
  RunningProgram(const XDisplay& display, const ProgramFolder& folder,
                 const std::vector<std::string>& arguments, const Account& account,
                 const std::vector<std::string>& extraEnvironment = {});
  ~RunningProgram();
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;

  pid_t Pid() const { return pid_; }
  // The exit code once the program has ended, waiting at most the time-out; empty while it runs.
  std::optional<int> WaitForExit(std::chrono::milliseconds timeout);
  bool Running();
  // Its standard output and error so far.
  std::string Output() const;
  // Sends a signal to the program.
  void Signal(int signalNumber) const;

 private:
  void Start(const XDisplay& display, const ProgramFolder& folder, std::vector<std::string> argv,
             std::vector<std::string> environment);

  std::filesystem::path home_;
  pid_t pid_ = -1;
  std::optional<int> exitCode_;
  std::filesystem::path log_;
};

}  // namespace testsupport
