#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Clock.h"
#include "platform/PrivateFolder.h"

namespace platform {

// A file open for appending, closed when the object goes. Write and Close throw std::system_error.
class AppendFile {
 public:
  virtual ~AppendFile() = default;
  virtual void Write(std::string_view bytes) = 0;
  virtual void Close() = 0;
};

// A file that is written under a name of its own until it is whole. While the object lives the file is
// held, so that a clean-up in any process can tell it from one whose writer is gone; an object that goes
// before Complete removes the file. Write and Complete throw std::system_error.
class FileBeingWritten {
 public:
  virtual ~FileBeingWritten() = default;
  virtual void Write(std::string_view bytes) = 0;
  // Puts the contents on the disk, then gives the file its final name in the same folder, replacing what
  // stands there (a link itself, never what it points to), and puts the change of names on the disk too.
  virtual void Complete(const std::string& finalPath) = 0;
};

// A file read from its start, piece by piece. Read throws std::system_error, and gives 0 at the end.
class FileBeingRead {
 public:
  virtual ~FileBeingRead() = default;
  virtual std::size_t Read(char* buffer, std::size_t size) = 0;
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
  // Creates a new file, readable by its owner and group as a copy is, where nothing stands yet: whatever
  // stands there, a link included, is neither followed nor opened (std::system_error, EEXIST).
  virtual std::unique_ptr<FileBeingWritten> CreateFileBeingWritten(const std::string& path) = 0;
  // Removes what stands under the name unless it is a file that a FileBeingWritten holds, in whatever
  // process: a file whose writer is gone, or a link or anything else put there (unlinked, never followed).
  // False when it is being written or could not be removed.
  virtual bool RemoveUnlessBeingWritten(const std::string& path) = 0;
  // A plain file, for reading from its start; a link in its place is refused, not followed. Throws
  // std::system_error.
  virtual std::unique_ptr<FileBeingRead> OpenForReading(const std::string& path) = 0;
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
  // Whether anyone but the accounts given and the system's administrators may create, rename or remove
  // entries in the folder (its owner included when not among them); true when it cannot be told.
  virtual bool OthersMayWriteIn(const std::string& folder, const std::vector<std::uint32_t>& accounts) = 0;
  // Makes a PrivateFolder inside parent for us and the account (a database server's; nullopt: us alone).
  // What either makes in it gets the rights that parent gives what is made in it, and us and the account
  // besides. Throws std::system_error.
  virtual std::unique_ptr<PrivateFolder> CreatePrivateFolder(const std::string& parent,
                                                             std::optional<std::uint32_t> accountId) = 0;
  // Lets another account (a database server's) read, write and enter a folder of ours, and makes every
  // file created in it readable and writable by us and by that account and by no one else, whoever
  // creates it. False when the folder's owner cannot do that here (not ours, no access lists).
  virtual bool ShareFolder(const std::string& folder, std::uint32_t accountId) = 0;
  // Whether another account (a database server's) may pass through to a folder of this machine and create
  // files in it, by the folder's owner, its access lists and the rights of everyone else; the groups the
  // account belongs to are not looked at. False when it cannot be told.
  virtual bool AccountMayWrite(const std::string& folder, std::uint32_t accountId) = 0;
};

}  // namespace platform
