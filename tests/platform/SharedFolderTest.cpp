#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "platform/Machine.h"
#include "tests/support/AccessList.h"
#include "tests/support/TempFolder.h"

namespace testsupport {
namespace {
namespace fs = std::filesystem;

// Accounts of no one on this machine: the desktop user who owns the program folder, the database
// server's account, and a stranger.
constexpr uid_t kDesktopUser = 41101;
constexpr uid_t kServer = 41102;
constexpr uid_t kStranger = 41103;

// Runs the action in a child process as the account and returns whether it succeeded.
bool As(uid_t account, const std::function<bool()>& action) {
  const pid_t child = fork();
  if (child == 0) {
    const bool switched = setgroups(0, nullptr) == 0 && setresgid(account, account, account) == 0 &&
                          setresuid(account, account, account) == 0;
    _exit(switched && action() ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(ShareFolder, TheServerWritesTheDesktopUserReadsAndDeletesAndNoOneElseSeesIt) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to act as three accounts";
  TempFolder top;
  fs::permissions(top.Path(), fs::perms::owner_all | fs::perms::others_exec);
  const fs::path program = top.Path() / "program";
  fs::create_directory(program);
  ASSERT_EQ(chown(program.c_str(), kDesktopUser, kDesktopUser), 0);
  const fs::path backup = program / "backup";
  const std::string gbk = (backup / "APP_20260307_2105.gbk").string();

  // Made open to its owner alone whatever the umask would let through, then shared with the server
  // through access lists that leave the group and others out, on the folder and on what is made in it.
  ASSERT_TRUE(As(kDesktopUser, [&] {
    umask(0);
    return platform::MachineFiles()->CreateFolder(backup.string());
  }));
  struct stat made {};
  ASSERT_EQ(stat(backup.c_str(), &made), 0);
  EXPECT_EQ(made.st_mode & 07777, 0700u);
  EXPECT_EQ(AccessList(backup), "u::rwx,g::---,o::---");
  EXPECT_EQ(DefaultAccessList(backup), "");
  ASSERT_TRUE(
      As(kDesktopUser, [&] { return platform::MachineFiles()->ShareFolder(backup.string(), kServer); }));
  struct stat shared {};
  ASSERT_EQ(stat(backup.c_str(), &shared), 0);
  EXPECT_EQ(shared.st_mode & 07777, 0770u) << "the group's bits show the mask";
  EXPECT_EQ(AccessList(backup), "u::rwx,u:41102:rwx,g::---,m::rwx,o::---");
  EXPECT_EQ(DefaultAccessList(backup), "u::rwx,u:41101:rwx,u:41102:rwx,g::---,m::rwx,o::---");
  // The server creates its file as servers do, readable by all as far as its own mode goes.
  ASSERT_TRUE(As(kServer, [&] {
    umask(022);
    const int fd = open(gbk.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    return fd >= 0 && write(fd, "gbak", 4) == 4 && close(fd) == 0;
  }));
  struct stat info {};
  ASSERT_EQ(stat(gbk.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07, 0u) << "a backup is never readable by others";
  EXPECT_FALSE(As(kStranger, [&] { return open(gbk.c_str(), O_RDONLY) >= 0; }));
  EXPECT_FALSE(As(kStranger, [&] { return opendir(backup.c_str()) != nullptr; }));
  EXPECT_TRUE(As(kDesktopUser, [&] {
    char bytes[4];
    const int fd = open(gbk.c_str(), O_RDONLY);
    return fd >= 0 && read(fd, bytes, 4) == 4 && close(fd) == 0 && unlink(gbk.c_str()) == 0;
  }));
  EXPECT_FALSE(fs::exists(gbk));
}

TEST(ShareFolder, AFolderOfSomeoneElseIsNotShared) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to act as another account";
  TempFolder top;
  fs::permissions(top.Path(), fs::perms::owner_all | fs::perms::others_exec | fs::perms::others_write |
                                  fs::perms::sticky_bit);
  EXPECT_FALSE(
      As(kStranger, [&] { return platform::MachineFiles()->ShareFolder(top.Path().string(), kServer); }));
}

TEST(AccountId, NamesAndNumbers) {
  const std::unique_ptr<platform::Files> machine = platform::MachineFiles();
  EXPECT_EQ(machine->AccountId("root"), 0u);
  EXPECT_EQ(machine->AccountId("41102"), 41102u);
  EXPECT_FALSE(machine->AccountId("no-such-account-here").has_value());
  EXPECT_FALSE(machine->AccountId("").has_value());
  EXPECT_FALSE(machine->AccountId("12abc").has_value());
}

}  // namespace
}  // namespace testsupport
