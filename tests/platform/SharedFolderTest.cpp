#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
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

// Runs the action in a child process as the account (in its own group, or the one given) and returns
// whether it succeeded.
bool As(uid_t account, const std::function<bool()>& action, gid_t group = static_cast<gid_t>(-1)) {
  if (group == static_cast<gid_t>(-1)) group = account;
  const pid_t child = fork();
  if (child == 0) {
    const bool switched = setgroups(0, nullptr) == 0 && setresgid(group, group, group) == 0 &&
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
  const std::unique_ptr<platform::Files> machine = platform::MachineFiles();
  EXPECT_FALSE(machine->AccountMayWrite(backup.string(), kServer));
  ASSERT_TRUE(
      As(kDesktopUser, [&] { return platform::MachineFiles()->ShareFolder(backup.string(), kServer); }));
  // What this machine says of the server's rights is what the server meets, and so for a stranger; a
  // folder on the way that the server may not pass closes the backup folder to it.
  EXPECT_TRUE(machine->AccountMayWrite(backup.string(), kServer));
  EXPECT_TRUE(machine->AccountMayWrite(backup.string(), kDesktopUser));
  EXPECT_FALSE(machine->AccountMayWrite(backup.string(), kStranger));
  EXPECT_FALSE(machine->AccountMayWrite((backup / "none").string(), kServer));
  fs::permissions(top.Path(), fs::perms::owner_all);
  EXPECT_FALSE(machine->AccountMayWrite(backup.string(), kServer));
  EXPECT_FALSE(As(kServer, [&] { return opendir(backup.c_str()) != nullptr; }));
  fs::permissions(top.Path(), fs::perms::owner_all | fs::perms::others_exec);
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

// Who besides the desktop user and the server may write in a folder decides where the server writes.
TEST(OthersMayWriteIn, TheOwnerTheGroupOthersAndTheAccessListsNamedUsers) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to give folders to other accounts";
  struct Case {
    const char* what;
    uid_t owner;
    mode_t mode;
    const char* accessList;  // setfacl -m, when not empty
    bool othersMayWrite;
  };
  const Case cases[] = {
      {"the user's alone", kDesktopUser, 0700, "", false},
      {"shared with the server", kDesktopUser, 0700, "u:41102:rwx", false},
      {"root's, group-writable, as the package makes it", 0, 02770, "", true},
      {"a stranger's", kStranger, 0700, "", true},
      {"writable by others", kDesktopUser, 0703, "", true},
      {"a stranger named", kDesktopUser, 0700, "u:41103:rwx", true},
      {"a stranger named, the mask keeping writes out", kDesktopUser, 0700, "u:41103:rwx,m::r-x", false},
  };
  for (const Case& c : cases) {
    TempFolder folder;
    ASSERT_EQ(chown(folder.Path().c_str(), c.owner, c.owner), 0);
    ASSERT_EQ(chmod(folder.Path().c_str(), c.mode), 0);
    if (*c.accessList != '\0') {
      ASSERT_EQ(
          std::system(("setfacl -m " + std::string(c.accessList) + " " + folder.Path().string()).c_str()), 0);
    }
    EXPECT_EQ(platform::MachineFiles()->OthersMayWriteIn(folder.Path().string(), {kDesktopUser, kServer}),
              c.othersMayWrite)
        << c.what;
  }
}

// In a folder every member of a group may write (the stranger is one), the job's own folder is the user's
// and the server's alone; its backup takes a free name only, and what a stranger put in its place stays.
TEST(PrivateFolder, OnlyTheUserAndTheServerEnterAndNothingTakenIsReplacedOrRemoved) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to act as three accounts";
  TempFolder shared;
  constexpr gid_t kGroup = 41104;
  ASSERT_EQ(chown(shared.Path().c_str(), 0, kGroup), 0);
  ASSERT_EQ(chmod(shared.Path().c_str(), 02770), 0);
  ASSERT_EQ(std::system(
                ("setfacl -m d:u::rwx,d:g::rwx,d:o::---,u:41102:rwx,d:u:41102:rwx " + shared.Path().string())
                    .c_str()),
            0);
  const auto member = [&](uid_t account, const std::function<bool()>& action) {
    return As(account, action, kGroup);
  };
  fs::path path;
  ASSERT_TRUE(member(kDesktopUser, [&] {
    // Kept, so that the folder outlives the child process that made it.
    auto made = platform::MachineFiles()->CreatePrivateFolder(shared.Path().string(), kServer);
    made->Keep();
    return true;
  }));
  for (const auto& entry : fs::directory_iterator(shared.Path()))
    path = entry.path();
  EXPECT_TRUE(path.filename().string().starts_with(".kelmora-")) << path;
  EXPECT_EQ(path.filename().string().size(), 21u);
  EXPECT_EQ(AccessList(path), "u::rwx,u:41102:rwx,g::---,m::rwx,o::---");
  EXPECT_EQ(DefaultAccessList(path), "u::rwx,u:41101:rwx,u:41102:rwx,g::rwx,m::rwx,o::---")
      << "what is made in it: the shared folder's rights, the user and the server named";
  const std::string gbk = (path / "APP.gbk").string();
  EXPECT_TRUE(As(kServer, [&] { return close(open(gbk.c_str(), O_WRONLY | O_CREAT, 0600)) == 0; }));
  EXPECT_FALSE(member(kStranger, [&] { return opendir(path.c_str()) != nullptr; }));
  fs::remove_all(path);
}

TEST(PrivateFolder, MovesOutWithoutReplacingAndGoesWithoutTouchingAFolderPutInItsPlace) {
  TempFolder parent;
  const fs::path taken = parent.Path() / "taken.gbk";
  fs::create_symlink("/nonexistent/database.fdb", taken);
  fs::path renamedAway;
  {
    const auto own = platform::MachineFiles()->CreatePrivateFolder(parent.Path().string(), std::nullopt);
    std::ofstream(own->Path() + "a.gbk") << "backup";
    std::ofstream(own->Path() + "b.gbk") << "backup";
    EXPECT_EQ(own->MoveOut("a.gbk", taken.string()), platform::MoveOutcome::NameTaken);
    EXPECT_TRUE(fs::is_symlink(taken));
    EXPECT_EQ(own->MoveOut("a.gbk", (parent.Path() / "free.gbk").string()), platform::MoveOutcome::Moved);
    // Someone renames the folder away and puts one of theirs under its name.
    renamedAway = parent.Path() / "elsewhere";
    fs::rename(own->Path(), renamedAway);
    fs::create_directory(parent.Path() / own->Name());
    std::ofstream(parent.Path() / own->Name() / "theirs") << "theirs";
  }
  EXPECT_TRUE(fs::exists(parent.Path() / "free.gbk"));
  EXPECT_TRUE(fs::is_empty(renamedAway)) << "its own leftovers unlinked";
  int folders = 0;
  for (const auto& entry : fs::directory_iterator(parent.Path()))
    folders += entry.is_directory() && entry.path().filename().string().starts_with(".kelmora-");
  EXPECT_EQ(folders, 1) << "the one put in its place stays, with what it holds";
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
