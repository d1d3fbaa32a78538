#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

// A private X display (Xvfb) for end-to-end tests of the real program, optionally with a notification
// area host (trayer). Both are killed when the object goes away.
class XDisplay {
 public:
  explicit XDisplay(bool withTray = false);
  // An existing display (a user's desktop), which this object neither starts nor stops.
  explicit XDisplay(const std::string& existingName);
  ~XDisplay();
  XDisplay(const XDisplay&) = delete;
  XDisplay& operator=(const XDisplay&) = delete;

  // ":N", for the DISPLAY variable of the programs started on it.
  const std::string& Name() const { return name_; }
  // The tray host's own window id, when there is one.
  std::string TrayWindow() const;

  // Runs an X client (xdotool, xwininfo, import, ...) on this display and returns its output.
  std::string Run(const std::vector<std::string>& argv, int* exitCode = nullptr) const;
  // Window ids whose name matches the regular expression (xdotool search --name); visible ones only
  // unless all is true.
  std::vector<std::string> FindWindows(const std::string& nameRegex, bool all = false) const;
  // Waits until a visible window of that name exists and returns its id (empty on time-out).
  std::string WaitForWindow(const std::string& nameRegex,
                            std::chrono::milliseconds timeout = std::chrono::seconds(15)) const;
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
  pid_t xvfb_ = -1;
  pid_t tray_ = -1;
  std::string name_;
};

// The path of the program built with the tests.
std::filesystem::path BuiltProgram();

// A temporary program folder holding a copy of the real executable and, when given, a sistema.ini;
// removed with the object.
class ProgramFolder {
 public:
  ProgramFolder();
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
};

// The real program started on a display. Killed when the object goes away if it is still running.
class RunningProgram {
 public:
  RunningProgram(const XDisplay& display, const ProgramFolder& folder,
                 const std::vector<std::string>& arguments,
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

 private:
  pid_t pid_ = -1;
  std::optional<int> exitCode_;
  std::filesystem::path log_;
};

}  // namespace testsupport
