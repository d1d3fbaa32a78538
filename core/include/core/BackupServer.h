#pragma once

#include <cstddef>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "core/ServerLogin.h"

namespace core {

// The database server's services manager as a job uses it: one backup or one restore per call, each on
// an attachment of its own that is given up again however the call ends. Every line of the server's
// verbose output is handed over as it comes (code page 1252), the empty line that ends the output
// included. Names are spelt as the server's file system spells them. The login is held no longer than
// the call.
class BackupServer {
 public:
  using LineRead = std::function<void(std::string_view cp1252Line)>;
  // A piece of a backup the server sends to the program, in the order sent.
  using DataRead = std::function<void(std::string_view bytes)>;
  // Fills up to `size` bytes of a backup the program feeds to a restore; 0 once there are no more.
  using DataWanted = std::function<std::size_t(char* buffer, std::size_t size)>;
  // Called about once a second while the server writes a backup that sends no lines.
  using StillWriting = std::function<void()>;

  virtual ~BackupServer() = default;
  // Writes a backup of the database at databasePath on the server serverName into backupFile.
  // Throws ServerFailure; an exception of lineRead passes through.
  virtual void Backup(const LoginChoice& login, const std::string& serverName,
                      const std::string& databasePath, const std::string& backupFile,
                      const LineRead& lineRead) = 0;
  // The same backup without the server's verbose output, which takes the server most of its time where no
  // one reads the lines: the server sends none, and stillWriting is called about once a second until the
  // backup has ended (not after it). Throws as Backup; an exception of stillWriting passes through.
  virtual void BackupWithoutLines(const LoginChoice& login, const std::string& serverName,
                                  const std::string& databasePath, const std::string& backupFile,
                                  const StillWriting& stillWriting) = 0;
  // Restores backupFile into a new database; an existing file of that name is never replaced.
  virtual void Restore(const LoginChoice& login, const std::string& serverName, const std::string& backupFile,
                       const std::string& database, const LineRead& lineRead) = 0;
  // The same backup sent to the program instead of written on the server's disk, for a server that
  // cannot see this machine's folders. The server has no lines to send with it. Returns once the server
  // has ended the output without an error, only then is what dataRead received whole. Throws as Backup.
  virtual void BackupToProgram(const LoginChoice& login, const std::string& serverName,
                               const std::string& databasePath, const DataRead& dataRead) = 0;
  // Restores a backup the program feeds, piece by piece as the server asks for them, into a new database.
  virtual void RestoreFromProgram(const LoginChoice& login, const std::string& serverName,
                                  const DataWanted& dataWanted, const std::string& database,
                                  const LineRead& lineRead) = 0;
};

// How far a backup got when it failed: whether a file under the backup's name can be the server's work
// of this call.
enum class ServerStage {
  NotStarted,   // the request was not accepted: nothing was written
  Started,      // the request was accepted, and the output was still coming
  OutputEnded,  // the output had ended: the backup is whole, only giving up the attachment failed
};

// A backup or a restore that the server, or the client library on its way there, did not complete.
// what() is the error's text in code page 1252, as the server words it.
class ServerFailure : public std::runtime_error {
 public:
  ServerFailure(const std::string& cp1252Text, ServerStage stage, bool backupFileNotWritable = false)
      : std::runtime_error(cp1252Text), stage_(stage), backupFileNotWritable_(backupFileNotWritable) {}

  ServerStage Stage() const { return stage_; }
  // The server's own account may not create the backup file: the folder is not open to it.
  bool BackupFileNotWritable() const { return backupFileNotWritable_; }

 private:
  ServerStage stage_;
  bool backupFileNotWritable_;
};

}  // namespace core
