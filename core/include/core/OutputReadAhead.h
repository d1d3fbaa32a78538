#pragma once

#include <functional>
#include <string>

#include "core/BackupServer.h"

namespace core {

// A backup server whose verbose output is read on a thread of its own, so that the server never waits
// for whoever shows the lines: the server hands out one line per request and waits for the next request,
// and every moment the showing thread spends painting would otherwise be paid in backup time.
//
// To its caller it is the wrapped server: Backup and Restore return or throw on the calling thread, the
// line callback runs there, with every line in the order sent, and the wrapped call's exception is thrown
// after every line sent before it. While no line is waiting the calling thread runs the idle hook, at least
// once in every short interval the call lasts. An exception of the line callback or of the idle hook makes
// the reader's next line callback throw inside the wrapped call, which gives up its attachment as it does
// for any exception of its callback; the reader is joined and the caller's exception goes on unchanged.
// The whole wrapped call runs on the reader, so the client library sees one thread per attachment.
//
// A backup without lines is read ahead the same way, each of its looks at the server handed over as a line
// without text to the still-writing callback. A backup sent to the program and a restore fed by it stay on
// the calling thread: the pieces are the program's own file, and the observer keeps the window answering
// between them.
class OutputReadAhead : public BackupServer {
 public:
  // Runs on the calling thread; may be empty.
  using Idle = std::function<void()>;

  OutputReadAhead(BackupServer& server, Idle idle);

  void Backup(const LoginChoice& login, const std::string& serverName, const std::string& databasePath,
              const std::string& backupFile, const LineRead& lineRead) override;
  void BackupWithoutLines(const LoginChoice& login, const std::string& serverName,
                          const std::string& databasePath, const std::string& backupFile,
                          const StillWriting& stillWriting) override;
  void Restore(const LoginChoice& login, const std::string& serverName, const std::string& backupFile,
               const std::string& database, const LineRead& lineRead) override;
  void BackupToProgram(const LoginChoice& login, const std::string& serverName,
                       const std::string& databasePath, const DataRead& dataRead) override;
  void RestoreFromProgram(const LoginChoice& login, const std::string& serverName,
                          const DataWanted& dataWanted, const std::string& database,
                          const LineRead& lineRead) override;

 private:
  // One of the wrapped server's calls, given the line callback it is to hand its lines to.
  using ServerCall = std::function<void(const LineRead& queueLine)>;

  // Runs the call on the reader and hands its lines to lineRead here, as described above.
  void ReadAhead(const ServerCall& call, const LineRead& lineRead);

  BackupServer& server_;
  Idle idle_;
};

}  // namespace core
