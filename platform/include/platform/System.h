#pragma once

// Everything the program asks of the system goes through here, so that a test can put its own answers
// in place of the machine's: the clock, sleeping and ending the process, message boxes, the environment,
// files and folders, autostart entries, launching programs, loading shared libraries and the network. Each
// concern is a small interface; System is all of them, and the program reaches the one in use through
// Current(). Paths are UTF-8, the file system's own encoding.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

using TimePoint = std::chrono::system_clock::time_point;

// A moment as the local clock shows it.
struct LocalDateTime {
  int year = 0;
  int month = 0;  // 1 to 12
  int day = 0;    // 1 to 31
  int hour = 0;   // 0 to 23
  int minute = 0;
  int second = 0;
  friend auto operator<=>(const LocalDateTime&, const LocalDateTime&) = default;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual TimePoint Now() = 0;
  virtual LocalDateTime ToLocal(TimePoint moment) = 0;
  // The separators of the user's date and time formats ('/' and ':' when the locale has none).
  virtual char DateSeparator() = 0;
  virtual char TimeSeparator() = 0;
  virtual void Sleep(std::chrono::milliseconds duration) = 0;
};

class Process {
 public:
  virtual ~Process() = default;
  // Ends the process at once with the exit code. A test replacement may throw instead of returning.
  [[noreturn]] virtual void EndProcess(int exitCode) = 0;
  // The full path of the running program file.
  virtual std::string ExecutablePath() = 0;
};

// The kinds of modal box the program shows; each has exactly one "OK" button.
enum class MessageBoxKind {
  Error,         // title "Error", error icon
  Information,   // title "Information", information icon
  Plain,         // captioned with the application title, no icon
  StandardError  // the application's error box: application title, error icon
};

class Boxes {
 public:
  virtual ~Boxes() = default;
  // Shows the box and returns when it is closed. The text is UTF-8.
  virtual void ShowMessage(MessageBoxKind kind, std::string_view text) = 0;
};

class Environment {
 public:
  virtual ~Environment() = default;
  // The variable's value; nullopt when it is not set.
  virtual std::optional<std::string> Variable(const std::string& name) = 0;
  // Sets or removes the variable in this process's own environment; false when it cannot be changed.
  virtual bool SetVariable(const std::string& name, const std::string& value) = 0;
  virtual bool UnsetVariable(const std::string& name) = 0;
};

// A file open for appending, closed when the object goes. Write and Close throw std::system_error.
class AppendFile {
 public:
  virtual ~AppendFile() = default;
  virtual void Write(std::string_view bytes) = 0;
  virtual void Close() = 0;
};

// What tells one version of a file from another: a file replaced, rewritten or truncated differs.
struct FileStamp {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t size = 0;
  std::int64_t modifiedNanoseconds = 0;
  friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// What a file's rights let users other than its owner and the members of its group do: the "other" bits of
// its mode and the users and groups its access list names.
struct FileExposure {
  bool othersMayRead = false;
  bool othersMayWrite = false;
};

class Files {
 public:
  virtual ~Files() = default;
  // Creates one folder level, open to its owner alone; false when it could not be made (an existing
  // folder included).
  virtual bool CreateFolder(const std::string& path) = 0;
  virtual bool IsFolder(const std::string& path) = 0;
  // Opens for appending, creating the file when missing; a symbolic link in its place is not followed.
  // Throws std::system_error with the system's error code.
  virtual std::unique_ptr<AppendFile> OpenForAppend(const std::string& path) = 0;
  // At most maxBytes of the file; nullopt when it cannot be read.
  virtual std::optional<std::string> ReadFile(const std::string& path, std::size_t maxBytes) = 0;
  // Copies the source's full length to the destination. The copy is written under a temporary name in the
  // destination's folder and renamed into place only when complete, so a failed copy never leaves a
  // partial file that looks like a backup. Throws std::system_error.
  virtual void CopyFile(const std::string& source, const std::string& destination) = 0;
  // Every entry of the folder that is not a directory, in the order the file system gives them, each as
  // folder, "/", name. Empty when the folder cannot be listed.
  virtual std::vector<std::string> ListFolder(const std::string& folder) = 0;
  // nullopt when it cannot be read.
  virtual std::optional<TimePoint> LastWriteTime(const std::string& path) = 0;
  // Removes the entry (a symbolic link itself, never its target); false when it could not.
  virtual bool RemoveFile(const std::string& path) = 0;
  // nullopt when there is no such entry.
  virtual std::optional<FileStamp> Stamp(const std::string& path) = 0;
  // Of the file a path names, a link followed; nullopt when there is none. A file that holds a secret is
  // judged by it before it is read.
  virtual std::optional<FileExposure> Exposure(const std::string& path) = 0;

  // The user id of an account given by name or by number; nullopt when this system has no such account.
  virtual std::optional<std::uint32_t> AccountId(const std::string& account) = 0;
  // The user id this program runs as.
  virtual std::uint32_t OwnId() = 0;
  // Lets another account (a database server's) read, write and enter a folder of ours, and makes every
  // file created in it readable and writable by us and by that account and by no one else, whoever
  // creates it. False when the folder's owner cannot do that here (not ours, no access lists).
  virtual bool ShareFolder(const std::string& folder, std::uint32_t accountId) = 0;
};

// The entries of the machine-wide autostart folder, each a file "<name>.desktop" (names are UTF-8).
class Autostart {
 public:
  virtual ~Autostart() = default;
  // The folder (no trailing separator).
  virtual std::string AutostartFolder() = 0;
  // Whether the folder can be opened for reading and writing; createWhenMissing makes it first.
  virtual bool AutostartFolderUsable(bool createWhenMissing) = 0;
  // The entry's contents; nullopt when missing, not a regular file, too large or unreadable.
  virtual std::optional<std::string> ReadAutostartEntry(const std::string& fileName) = 0;
  // Replaces the entry as a whole (a reader sees the old one or the new one); false on any failure.
  virtual bool WriteAutostartEntry(const std::string& fileName, const std::string& contents) = 0;
  virtual void RemoveAutostartEntry(const std::string& fileName) = 0;
};

class Launcher {
 public:
  virtual ~Launcher() = default;
  // The program file a desktop shell would run for a file name: a name with a folder as it stands, a bare
  // name from the current folder first, then along PATH. Empty when there is none.
  virtual std::string ResolveProgram(const std::string& file) = 0;
  // Starts the program with no arguments in the current folder, detached (never waited for); false when
  // it did not start.
  virtual bool LaunchDetached(const std::string& program) = 0;
  // Runs the program (a path) with the arguments and waits for it to end. Its standard input reads the
  // given bytes (where a secret can go that its command line would show to every user), its output goes
  // to the null device. Its exit code; -1 when it did not start or was ended by a signal.
  virtual int RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                         std::string_view input) = 0;
};

class Libraries {
 public:
  virtual ~Libraries() = default;
  using Handle = void*;
  // nullptr when the library cannot be opened.
  virtual Handle OpenLibrary(const std::string& fileName) = 0;
  // nullptr when the entry point is missing.
  virtual void* LookUp(Handle library, const char* name) = 0;
  virtual void CloseLibrary(Handle library) = 0;
  // The loader's text for the last failure.
  virtual std::string LibraryError() = 0;
};

// A connection to a server over TCP, closed when the object goes. Each Send and Receive waits at most the
// time given when it was opened, and throws std::system_error (ETIMEDOUT when the time ran out).
class TcpConnection {
 public:
  virtual ~TcpConnection() = default;
  virtual void Send(std::string_view bytes) = 0;
  // Up to maxBytes as they arrive; empty once the other side has ended the connection.
  virtual std::string Receive(std::size_t maxBytes) = 0;
};

class Network {
 public:
  virtual ~Network() = default;
  // Connects to a host (a name or an address) and port, trying each address the name has and waiting at
  // most timeout for each. Throws std::system_error: the last address's error, ETIMEDOUT when none
  // answered in time; std::runtime_error when the name has no address. No text of it holds the host.
  virtual std::unique_ptr<TcpConnection> ConnectTcp(const std::string& host, std::uint16_t port,
                                                    std::chrono::milliseconds timeout) = 0;
};

class System : public Clock,
               public Process,
               public Boxes,
               public Environment,
               public Files,
               public Autostart,
               public Launcher,
               public Libraries,
               public Network {};

// The system in use: the machine's own unless a test or the desktop program installed another.
System& Current();
// Installs a replacement (nullptr restores the machine's own). The caller keeps ownership.
void SetCurrent(System* system);

}  // namespace platform
