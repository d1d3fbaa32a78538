#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/types.h>

#include "app/desktop/DesktopEntry.h"
#include "app/window/RunValues.h"
#include "platform/Cp1252.h"
#include "tests/app/desktop/DesktopEnvironment.h"
#include "tests/app/support/FakePlatform.h"
#include "tests/support/TempFolder.h"

namespace testsupport {
namespace {

namespace fs = std::filesystem;

TEST(RunFolder, FirstAbsoluteConfigFolderOrTheSystemDefault) {
  {
    ScopedEnvironment unset("XDG_CONFIG_DIRS", std::nullopt);
    EXPECT_EQ(app::RunFolder(), "/etc/xdg/autostart");
  }
  {
    ScopedEnvironment empty("XDG_CONFIG_DIRS", "");
    EXPECT_EQ(app::RunFolder(), "/etc/xdg/autostart");
  }
  {
    ScopedEnvironment two("XDG_CONFIG_DIRS", "/etc/kelmora/:/etc/xdg");
    EXPECT_EQ(app::RunFolder(), "/etc/kelmora/autostart");
  }
  {
    // Relative entries are invalid; they must not make the folder depend on where the program was started.
    ScopedEnvironment relative("XDG_CONFIG_DIRS", "::relative/xdg:/srv/xdg");
    EXPECT_EQ(app::RunFolder(), "/srv/xdg/autostart");
  }
  {
    ScopedEnvironment onlyRelative("XDG_CONFIG_DIRS", "etc/xdg");
    EXPECT_EQ(app::RunFolder(), "/etc/xdg/autostart");
  }
}

class RunValuesTest : public ::testing::Test {
 protected:
  RunValuesTest() : config_("XDG_CONFIG_DIRS", config.Path().string() + ":/etc/xdg") {}

  fs::path Folder() const { return config.Path() / "autostart"; }
  fs::path Entry(const std::string& fileName) const { return Folder() / fileName; }
  void Plant(const std::string& fileName, const std::string& contents) const {
    fs::create_directories(Folder());
    WriteFile(Entry(fileName), contents);
  }
  std::vector<std::string> FolderListing() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(Folder()))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  FakePlatform platform;
  TempFolder config;

 private:
  ScopedEnvironment config_;
};

TEST_F(RunValuesTest, WrittenEntryStartsTheProgramAndReadsBack) {
  app::WriteRunValue("Backup Kelmora", "/opt/kelmora/backup", false);
  const std::string contents = ReadFile(Entry("Backup Kelmora.desktop"));
  EXPECT_EQ(app::ReadEntryKey(contents, "Type"), "Application");
  EXPECT_EQ(app::ReadEntryKey(contents, "Name"), "Backup Kelmora");
  EXPECT_EQ(app::ReadEntryKey(contents, "Exec"), "/opt/kelmora/backup");
  EXPECT_TRUE(app::HasRunValue("Backup Kelmora"));
  EXPECT_EQ(app::ReadRunValue("Backup Kelmora"), "/opt/kelmora/backup");
  EXPECT_FALSE(app::HasRunValue("Kelmora Backup")) << "the other name is another entry";
  EXPECT_EQ(FolderListing(), std::vector<std::string>{"Backup Kelmora.desktop"}) << "no temporary file left";
  EXPECT_TRUE(platform.boxes.empty());
}

TEST_F(RunValuesTest, WritingCreatesTheMissingFolderAndUsesOrdinaryPermissions) {
  ASSERT_FALSE(fs::exists(Folder()));
  const mode_t oldMask = ::umask(077);
  app::WriteRunValue("Backup Kelmora", "/opt/kelmora/backup", false);
  ::umask(oldMask);
  struct stat status {};
  ASSERT_EQ(::lstat(Entry("Backup Kelmora.desktop").c_str(), &status), 0);
  EXPECT_TRUE(S_ISREG(status.st_mode));
  EXPECT_EQ(status.st_mode & 07777, 0644u) << "every user's session must be able to read the entry";
}

TEST_F(RunValuesTest, RewritingReplacesTheWholeEntry) {
  Plant("Backup Kelmora.desktop",
        "[Desktop Entry]\nType=Application\nName=Old\nExec=/old/program --with-a-very-long-argument-list\n"
        "X-Extra=" +
            std::string(4000, 'x') + "\n");
  app::WriteRunValue("Backup Kelmora", "/new/backup", false);
  const std::string contents = ReadFile(Entry("Backup Kelmora.desktop"));
  EXPECT_EQ(app::ReadEntryKey(contents, "Exec"), "/new/backup");
  EXPECT_EQ(contents.find("X-Extra"), std::string::npos) << "nothing of the old file may remain";
}

TEST_F(RunValuesTest, AccentedNamesAndFoldersGoToTheFileAndComeBack) {
  const std::string name = "Cópia Kelmora";
  const std::string data = "/opt/Kelmora Ação/backup";
  app::WriteRunValue(name, data, false);
  const fs::path file = Entry("Cópia Kelmora.desktop");
  ASSERT_TRUE(fs::exists(file));
  EXPECT_EQ(app::ReadEntryKey(ReadFile(file), "Exec"), "\"/opt/Kelmora Ação/backup\"");
  EXPECT_EQ(app::ReadRunValue(name), data);
}

TEST_F(RunValuesTest, EmptyOrMissingExecCountsAsAbsent) {
  const std::vector<std::pair<std::string, std::string>> entries = {
      {"empty", "[Desktop Entry]\nType=Application\nExec=\n"},
      {"blank", "[Desktop Entry]\nExec=   \n"},
      {"quotedEmpty", "[Desktop Entry]\nExec=\"\"\n"},
      {"missing", "[Desktop Entry]\nType=Application\nName=x\n"},
      {"otherGroup", "[Desktop Action go]\nExec=/opt/x\n"},
      {"emptyFile", ""},
      {"binary", std::string("\0\xff\xfe[Desktop Entry", 17)},
  };
  for (const auto& [name, contents] : entries) {
    Plant(name + ".desktop", contents);
    EXPECT_FALSE(app::HasRunValue(name)) << name;
    EXPECT_EQ(app::ReadRunValue(name), "") << name;
  }
  Plant("brokenQuotes.desktop", "[Desktop Entry]\nExec=\"/opt/unclosed\n");
  EXPECT_TRUE(app::HasRunValue("brokenQuotes")) << "a line with text in it is not empty";
  EXPECT_EQ(app::ReadRunValue("brokenQuotes"), "\"/opt/unclosed");
}

TEST_F(RunValuesTest, APlantedSymbolicLinkIsNeverFollowed) {
  TempFolder elsewhere;
  const fs::path target = elsewhere.Path() / "victim.desktop";
  const std::string victim = "[Desktop Entry]\nType=Application\nExec=/usr/bin/victim\n";
  WriteFile(target, victim);
  fs::create_directories(Folder());
  fs::create_symlink(target, Entry("Backup Kelmora.desktop"));

  EXPECT_FALSE(app::HasRunValue("Backup Kelmora")) << "a link is not an entry of ours";

  app::WriteRunValue("Backup Kelmora", "/opt/kelmora/backup", false);
  EXPECT_EQ(ReadFile(target), victim) << "the link's target must not be written";
  EXPECT_FALSE(fs::is_symlink(Entry("Backup Kelmora.desktop")));
  EXPECT_EQ(app::ReadRunValue("Backup Kelmora"), "/opt/kelmora/backup");

  fs::remove(Entry("Backup Kelmora.desktop"));
  fs::create_symlink(target, Entry("Backup Kelmora.desktop"));
  app::DeleteRunValue("Backup Kelmora");
  EXPECT_FALSE(fs::exists(fs::symlink_status(Entry("Backup Kelmora.desktop"))));
  EXPECT_EQ(ReadFile(target), victim) << "deleting removes the link, never its target";
}

TEST_F(RunValuesTest, SpecialFilesInTheEntrysPlaceCountAsAbsent) {
  fs::create_directories(Folder());
  ASSERT_EQ(::mkfifo(Entry("fifo.desktop").c_str(), 0644), 0);
  EXPECT_FALSE(app::HasRunValue("fifo")) << "must neither hang nor read from a pipe";
  fs::create_directory(Entry("folder.desktop"));
  EXPECT_FALSE(app::HasRunValue("folder"));
  EXPECT_THROW(app::WriteRunValue("folder", "/opt/x", false), app::RunValueError);
  EXPECT_TRUE(fs::is_directory(Entry("folder.desktop")));
  EXPECT_EQ(FolderListing(), (std::vector<std::string>{"fifo.desktop", "folder.desktop"}))
      << "a failed write leaves no temporary file";
}

TEST_F(RunValuesTest, OtherEntriesAreNeverTouched) {
  const std::string other = "[Desktop Entry]\nType=Application\nName=Other\nExec=/usr/bin/other\n";
  Plant("Other.desktop", other);
  Plant("Kelmora Backup.desktop", "[Desktop Entry]\nExec=/opt/kelmora/backup\n");
  struct stat before {};
  ASSERT_EQ(::stat(Entry("Other.desktop").c_str(), &before), 0);

  app::WriteRunValue("Backup Kelmora", "/opt/kelmora/backup", false);
  app::DeleteRunValue("Backup Kelmora");
  app::DeleteRunValue("Backup Kelmora");

  struct stat after {};
  ASSERT_EQ(::stat(Entry("Other.desktop").c_str(), &after), 0);
  EXPECT_EQ(before.st_ino, after.st_ino);
  EXPECT_EQ(before.st_mtim.tv_nsec, after.st_mtim.tv_nsec);
  EXPECT_EQ(ReadFile(Entry("Other.desktop")), other);
  EXPECT_TRUE(app::HasRunValue("Kelmora Backup"));
  EXPECT_EQ(FolderListing(), (std::vector<std::string>{"Kelmora Backup.desktop", "Other.desktop"}));
  EXPECT_TRUE(platform.boxes.empty()) << "deleting a missing entry is no error";
}

TEST_F(RunValuesTest, NamesThatWouldLeaveTheFolderHaveNoEntry) {
  fs::create_directories(Folder());
  for (const std::string& name :
       std::vector<std::string>{"../escape", "sub/entry", "", std::string("nul\0x", 5)}) {
    EXPECT_THROW(app::WriteRunValue(name, "/opt/x", false), app::RunValueError) << name;
    EXPECT_FALSE(app::HasRunValue(name));
    app::DeleteRunValue(name);
  }
  EXPECT_FALSE(fs::exists(config.Path() / "escape.desktop"));
  EXPECT_TRUE(FolderListing().empty());
}

TEST_F(RunValuesTest, TheRunOnceListIsRefused) {
  try {
    app::WriteRunValue("Backup Kelmora", "/opt/kelmora/backup", true);
    FAIL() << "no autostart folder runs a program once";
  } catch (const app::RunValueError& error) {
    EXPECT_STREQ(error.what(), "Failed to set data for 'Backup Kelmora'");
  }
  EXPECT_FALSE(fs::exists(Folder()));
}

TEST_F(RunValuesTest, AFolderThatCannotBeCreatedFailsToSetData) {
  // A file where the configuration folder should be: no rights can open or create the folder below it.
  WriteFile(config.Path() / "file", "");
  ScopedEnvironment blocked("XDG_CONFIG_DIRS", (config.Path() / "file").string());
  try {
    app::WriteRunValue("Backup Kelmora", "/opt/kelmora/backup", false);
    FAIL() << "the entry cannot have been written";
  } catch (const app::RunValueError& error) {
    EXPECT_STREQ(error.what(), "Failed to set data for 'Backup Kelmora'");
  }
  EXPECT_FALSE(app::HasRunValue("Backup Kelmora"));
  EXPECT_TRUE(platform.boxes.empty());

  app::DeleteRunValue("Backup Kelmora");
  ASSERT_EQ(platform.boxes.size(), 1u);
  EXPECT_EQ(platform.boxes[0].kind, app::MessageBoxKind::Plain);
  EXPECT_EQ(platform.boxes[0].text, QStringLiteral("Key not found"));
}

TEST_F(RunValuesTest, AFolderWithoutWriteRightsIsNotOpened) {
  if (RunningAsRoot()) GTEST_SKIP() << "permission bits do not stop root";
  Plant("Kelmora Backup.desktop", "[Desktop Entry]\nExec=/opt/kelmora/backup\n");
  fs::permissions(Folder(), fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_FALSE(app::HasRunValue("Kelmora Backup")) << "the folder is only opened for reading and writing";
  EXPECT_THROW(app::WriteRunValue("Backup Kelmora", "/opt/x", false), app::RunValueError);
  app::DeleteRunValue("Kelmora Backup");
  ASSERT_EQ(platform.boxes.size(), 1u);
  EXPECT_EQ(platform.boxes[0].text, QStringLiteral("Key not found"));
  fs::permissions(Folder(), fs::perms::owner_all);
  EXPECT_TRUE(app::HasRunValue("Kelmora Backup")) << "the entry is still there";
}

}  // namespace
}  // namespace testsupport
