#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Clock.h"

namespace platform {

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

// windows.h, where a source included it first, names CopyFileW CopyFile; the member keeps its own name.
#ifdef CopyFile
#undef CopyFile
#endif

// Files and folders, and the accounts that may reach them.
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
  // destination's folder and renamed into place only when complete and on the disk, so neither a failed
  // copy nor a power cut leaves a partial or empty file that looks like a backup. Temporary files that a
  // copy cut off before it ended left in that folder are removed first. Throws std::system_error.
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

}  // namespace platform
