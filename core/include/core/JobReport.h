#pragma once

#include <string>

namespace core {

// What ended a run before the job's end, when something did.
enum class StopReason {
  None,                // the job ran to its end and logged its block
  NoDatabaseLocation,  // sistema.ini missing, or without [Dados] Dir: nothing was tried
  ServerUnreachable,   // the settings row: the server did not answer
  LoginRefused,        // the settings row: the server refused the user name and password
  SettingsNotRead,     // the settings row: any other error
  CredentialsRefused,  // the credentials file is open to others or unreadable: nothing was sent
  BackupFailed,        // the server did not complete the backup; the block ends with its error
  LogNotWritable,      // the backup folder or its log could not be written
  AnotherJobRunning,   // another job (of this or another process) holds the backup folder: nothing was tried
  Stopped,  // the program was asked to end during the backup (its unfinished file is gone) or its check
};

// How one step after the backup came out.
enum class StepResult {
  NotAsked,  // the settings do not ask for it, or the job did not get that far
  Done,
  Failed,
};

// The outcome of a run, from which the window's tray, notifications and texts and the runner's exit
// code are read. Texts are UTF-8.
struct JobReport {
  StopReason stop = StopReason::None;
  // Why the run stopped: the server's or the database's words, or the I/O error's text.
  std::string error;
  // What would mend a backup the server could not write, for those who read more than the block's three
  // error lines (the runner's standard error; the block too with ExplicarAcesso).
  std::string advice;
  bool written = false;  // the server wrote the backup
  StepResult verification = StepResult::NotAsked;
  std::string verificationProblem;  // why the backup did not verify
  StepResult copy = StepResult::NotAsked;
  bool cleanedUp = false;  // the expired files were looked for and deleted
  StepResult monitor = StepResult::NotAsked;
  std::string monitorProblem;  // why the monitor was not told

  // A backup was made, and verified when the settings ask for it; a failed copy does not undo that.
  bool BackupMade() const { return written && verification != StepResult::Failed; }
};

}  // namespace core
