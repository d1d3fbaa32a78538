#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "platform/LocalPath.h"
#include "platform/Machine.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TempFolder.h"

namespace testsupport {
namespace {
namespace fs = std::filesystem;

const std::unique_ptr<platform::Files> machine = platform::MachineFiles();

// The copy folder comes from a settings row that Windows machines write too.
TEST(LocalPath, OnlyAPathFromTheRootIsOnePlaceOnThisMachine) {
  const std::pair<const char*, bool> cases[] = {
      {"/srv/c\xC3\xB3pias/", true},  {"//server/share/", true}, {"D:\\Backup\\", false},
      {"\\\\server\\share\\", false}, {"copias/", false},        {"", false}};
  for (const auto& [path, absolute] : cases)
    EXPECT_EQ(platform::IsAbsoluteLocalPath(path), absolute) << path;
}

TEST(CopyFile, CopiesEveryByteAndReplacesAnOlderCopy) {
  TempFolder folder;
  std::string content(3 * 1024 * 1024 + 17, '\0');
  for (size_t i = 0; i < content.size(); ++i)
    content[i] = static_cast<char>(i * 131 + 7);
  folder.Write("source.gbk", content);
  folder.Write("copy.gbk", "old and longer than nothing");
  machine->CopyFile((folder.Path() / "source.gbk").string(), (folder.Path() / "copy.gbk").string());
  EXPECT_EQ(ReadAll(folder.Path() / "copy.gbk"), content);
  folder.Write("empty.gbk", "");
  machine->CopyFile((folder.Path() / "empty.gbk").string(), (folder.Path() / "copy2.gbk").string());
  EXPECT_TRUE(fs::exists(folder.Path() / "copy2.gbk"));
  EXPECT_EQ(fs::file_size(folder.Path() / "copy2.gbk"), 0u);
}

TEST(CopyFile, FailuresThrowAndLeaveNothingBehind) {
  TempFolder folder;
  folder.Write("source.gbk", "data");
  EXPECT_THROW(
      machine->CopyFile((folder.Path() / "missing.gbk").string(), (folder.Path() / "c.gbk").string()),
      std::system_error);
  EXPECT_THROW(
      machine->CopyFile((folder.Path() / "source.gbk").string(), (folder.Path() / "no/such/c.gbk").string()),
      std::system_error);
  const auto count = std::distance(fs::directory_iterator(folder.Path()), fs::directory_iterator());
  EXPECT_EQ(count, 1) << "neither a target nor a temporary file may remain";
}

// A job killed during its copy leaves the copy's temporary file, as large as a backup; the next copy into
// that folder removes it, and nothing else: not a running copy's, not a name that is not a copy's, not what
// a link points to, never waiting on a pipe.
TEST(CopyFile, RemovesTheLeftoversOfCopiesCutOffAndNothingElse) {
  TempFolder folder;
  TempFolder elsewhere;
  elsewhere.Write("database.fdb", "live");
  folder.Write("source.gbk", "backup");
  for (const char* name :
       {".backup-copy-Ab12Cd", ".backup-copy-zz9ZZ0", ".backup-copy-Held00", ".backup-copy-Ab12C",
        ".backup-copy-Ab12Cd7", ".backup-copy-Ab_2Cd", "backup-copy-Ab12Cd"})
    folder.Write(name, "partial");
  fs::create_symlink(elsewhere.Path() / "database.fdb", folder.Path() / ".backup-copy-Link01");
  ASSERT_EQ(mkfifo((folder.Path() / ".backup-copy-Fifo01").c_str(), 0600), 0);
  const int running = open((folder.Path() / ".backup-copy-Held00").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(flock(running, LOCK_EX), 0) << "as the copy writing it holds it";

  machine->CopyFile((folder.Path() / "source.gbk").string(), (folder.Path() / "copy.gbk").string());
  close(running);
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(folder.Path()))
    left.push_back(entry.path().filename().string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left,
            (std::vector<std::string>{".backup-copy-Ab12C", ".backup-copy-Ab12Cd7", ".backup-copy-Ab_2Cd",
                                      ".backup-copy-Fifo01", ".backup-copy-Held00", ".backup-copy-Link01",
                                      "backup-copy-Ab12Cd", "copy.gbk", "source.gbk"}));
  EXPECT_EQ(ReadAll(folder.Path() / "copy.gbk"), "backup");
  EXPECT_EQ(ReadAll(elsewhere.Path() / "database.fdb"), "live");
}

TEST(CopyFile, ReadOnlyFolderIsRefused) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  TempFolder folder;
  folder.Write("source.gbk", "data");
  fs::create_directory(folder.Path() / "ro");
  fs::permissions(folder.Path() / "ro", fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_THROW(
      machine->CopyFile((folder.Path() / "source.gbk").string(), (folder.Path() / "ro/c.gbk").string()),
      std::system_error);
}

TEST(ListFolder, ListsEverythingButDirectoriesWithTheFolderPrefix) {
  TempFolder folder;
  folder.Write("a.gbk", "");
  folder.Write(".hidden", "");
  fs::create_directory(folder.Path() / "sub");
  fs::create_symlink("a.gbk", folder.Path() / "link");
  auto list = machine->ListFolder(folder.Path().string());
  std::sort(list.begin(), list.end());
  const std::string prefix = folder.Path().string() + "/";
  EXPECT_EQ(list, (std::vector<std::string>{prefix + ".hidden", prefix + "a.gbk", prefix + "link"}));
  EXPECT_TRUE(machine->ListFolder((folder.Path() / "none").string()).empty());
}

TEST(OpenForAppend, AppendsNeverTruncatesAndRefusesAPlantedLink) {
  TempFolder folder;
  const auto log = folder.Path() / "backup.txt";
  folder.Write("backup.txt", "earlier block\r\n");
  {
    const auto file = machine->OpenForAppend(log.string());
    file->Write("new block\r\n");
    file->Close();
  }
  EXPECT_EQ(ReadAll(log), "earlier block\r\nnew block\r\n");
  struct stat info {};
  { machine->OpenForAppend((folder.Path() / "fresh.txt").string()); }
  ASSERT_EQ(stat((folder.Path() / "fresh.txt").c_str(), &info), 0);
  EXPECT_EQ(
      info.st_mode & 0777, 0660 & ~[] {
        const mode_t mask = umask(0);
        umask(mask);
        return mask;
      }());

  folder.Write("target.txt", "do not touch");
  fs::create_symlink(folder.Path() / "target.txt", folder.Path() / "planted.txt");
  try {
    machine->OpenForAppend((folder.Path() / "planted.txt").string());
    FAIL() << "a link in the log's place must not be followed";
  } catch (const std::system_error& error) {
    EXPECT_EQ(error.code().value(), ELOOP);
  }
  EXPECT_EQ(ReadAll(folder.Path() / "target.txt"), "do not touch");
  EXPECT_THROW(machine->OpenForAppend((folder.Path() / "no/such/backup.txt").string()), std::system_error);
}

// A backup the program receives is written under a name of its own and named a backup only when whole.
// A clean-up takes a file whose writer is gone (here a process that ended without a word) and whatever
// else stands under such a name, never a file that is being written, and never what a link points to.
TEST(FileBeingWritten, IsNamedOnlyWhenCompleteAndOnlyAnAbandonedOneIsRemoved) {
  TempFolder folder;
  const auto path = [&](const char* name) { return (folder.Path() / name).string(); };
  folder.Write("target.gbk", "do not touch");
  fs::create_symlink(folder.Path() / "target.gbk", folder.Path() / "planted.gbk.part");
  fs::create_symlink(folder.Path() / "target.gbk", folder.Path() / "a.gbk");
  try {
    machine->CreateFileBeingWritten(path("planted.gbk.part"));
    FAIL() << "a link in the file's place must not be followed";
  } catch (const std::system_error& error) {
    EXPECT_EQ(error.code().value(), EEXIST);
  }

  auto written = machine->CreateFileBeingWritten(path("a.gbk.part"));
  written->Write("first ");
  written->Write(std::string("\0second", 7));
  EXPECT_FALSE(machine->RemoveUnlessBeingWritten(path("a.gbk.part"))) << "its writer holds it";
  written->Complete(path("a.gbk"));
  EXPECT_EQ(ReadAll(folder.Path() / "a.gbk"), std::string("first \0second", 13));
  EXPECT_FALSE(fs::exists(folder.Path() / "a.gbk.part"));
  EXPECT_FALSE(fs::is_symlink(folder.Path() / "a.gbk")) << "the link in the final name's place is replaced";
  { machine->CreateFileBeingWritten(path("dropped.gbk.part"))->Write("cut short"); }
  EXPECT_FALSE(fs::exists(folder.Path() / "dropped.gbk.part")) << "a writer that goes removes its file";

  const pid_t child = fork();
  if (child == 0) {
    // Ends as a killed job does, without giving its file up.
    machine->CreateFileBeingWritten(path("killed.gbk.part")).release()->Write("cut short");
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(fs::exists(folder.Path() / "killed.gbk.part"));
  EXPECT_TRUE(machine->RemoveUnlessBeingWritten(path("killed.gbk.part")));
  EXPECT_TRUE(machine->RemoveUnlessBeingWritten(path("planted.gbk.part")));
  EXPECT_FALSE(fs::exists(folder.Path() / "killed.gbk.part"));
  EXPECT_FALSE(fs::is_symlink(folder.Path() / "planted.gbk.part"));
  EXPECT_EQ(ReadAll(folder.Path() / "target.gbk"), "do not touch");

  std::string read(64, '\0');
  read.resize(machine->OpenForReading(path("a.gbk"))->Read(read.data(), read.size()));
  EXPECT_EQ(read, std::string("first \0second", 13));
  fs::create_symlink(folder.Path() / "target.gbk", folder.Path() / "link.gbk");
  EXPECT_THROW(machine->OpenForReading(path("link.gbk")), std::system_error);
}

}  // namespace
}  // namespace testsupport
