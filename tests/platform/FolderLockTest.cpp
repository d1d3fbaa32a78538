#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "platform/Machine.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TempFolder.h"

namespace testsupport {
namespace {
namespace fs = std::filesystem;
using Outcome = platform::FolderLockAttempt::Outcome;

TEST(FolderLock, OneHolderAcrossProcessesUntilTheHolderIsKilledOrLetsGo) {
  TempFolder folder;
  int taken[2];
  ASSERT_EQ(pipe(taken), 0);
  const pid_t holder = fork();
  if (holder == 0) {
    const platform::FolderLockAttempt attempt = platform::MachineFolderLocks()->TryLockFolder(folder.Path());
    const char outcome = attempt.outcome == Outcome::Taken ? 'T' : 'F';
    (void)!write(taken[1], &outcome, 1);
    pause();  // holds the lock until it is killed, as a job cut off would
    _exit(0);
  }
  close(taken[1]);
  char outcome = 0;
  ASSERT_EQ(read(taken[0], &outcome, 1), 1);
  close(taken[0]);
  EXPECT_EQ(outcome, 'T');

  const std::unique_ptr<platform::FolderLocks> locks = platform::MachineFolderLocks();
  const platform::FolderLockAttempt refused = locks->TryLockFolder(folder.WithSeparator());
  EXPECT_EQ(refused.outcome, Outcome::HeldByAnother);
  EXPECT_EQ(refused.lock, nullptr);
  kill(holder, SIGKILL);
  waitpid(holder, nullptr, 0);

  platform::FolderLockAttempt ours = locks->TryLockFolder(folder.Path());
  EXPECT_EQ(ours.outcome, Outcome::Taken) << ours.error;
  EXPECT_NE(ours.lock, nullptr);
  EXPECT_EQ(locks->TryLockFolder(folder.Path()).outcome, Outcome::HeldByAnother)
      << "a second job of the same process waits its turn too";
  ours.lock.reset();
  EXPECT_EQ(locks->TryLockFolder(folder.Path()).outcome, Outcome::Taken);
}

// In a folder others may write, anything may stand at the lock's name; none of it is followed or waited on.
TEST(FolderLock, WhatIsNoLockFileIsAnErrorNotAHolder) {
  TempFolder elsewhere;
  elsewhere.Write("database.fdb", "live");
  struct Case {
    const char* name;
    void (*plant)(const fs::path& lock, const fs::path& target);
    const char* error;
  };
  const Case cases[] = {
      {"link to a file",
       [](const fs::path& lock, const fs::path& target) { fs::create_symlink(target, lock); },
       "Too many levels of symbolic links"},
      {"dangling link",
       [](const fs::path& lock, const fs::path& target) {
         fs::create_symlink(target.string() + ".new", lock);
       },
       "Too many levels of symbolic links"},
      {"pipe", [](const fs::path& lock, const fs::path&) { mkfifo(lock.c_str(), 0600); }, "Invalid argument"},
      {"folder", [](const fs::path& lock, const fs::path&) { fs::create_directory(lock); }, "Is a directory"},
  };
  for (const Case& c : cases) {
    TempFolder folder;
    c.plant(folder.Path() / ".lock", elsewhere.Path() / "database.fdb");
    const platform::FolderLockAttempt attempt = platform::MachineFolderLocks()->TryLockFolder(folder.Path());
    EXPECT_EQ(attempt.outcome, Outcome::Failed) << c.name;
    EXPECT_EQ(attempt.error, c.error) << c.name;
  }
  EXPECT_EQ(ReadAll(elsewhere.Path() / "database.fdb"), "live");
  EXPECT_FALSE(fs::exists(elsewhere.Path() / "database.fdb.new"));
  EXPECT_EQ(platform::MachineFolderLocks()->TryLockFolder(elsewhere.Path() / "none").error,
            "No such file or directory");
}

}  // namespace
}  // namespace testsupport
