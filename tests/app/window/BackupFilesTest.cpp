#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "app/BackupFiles.h"
#include "app/Exceptions.h"
#include "tests/app/support/TempFolder.h"

namespace testsupport {
namespace {
namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(CopyFileBytes, CopiesEveryByteAndReplacesAnOlderCopy) {
  TempFolder folder;
  std::string content(3 * 1024 * 1024 + 17, '\0');
  for (size_t i = 0; i < content.size(); ++i)
    content[i] = static_cast<char>(i * 131 + 7);
  folder.Write("source.gbk", content);
  folder.Write("copy.gbk", "old and longer than nothing");
  app::CopyFileBytes((folder.Path() / "source.gbk").string(), (folder.Path() / "copy.gbk").string());
  EXPECT_EQ(ReadAll(folder.Path() / "copy.gbk"), content);
  folder.Write("empty.gbk", "");
  app::CopyFileBytes((folder.Path() / "empty.gbk").string(), (folder.Path() / "copy2.gbk").string());
  EXPECT_TRUE(fs::exists(folder.Path() / "copy2.gbk"));
  EXPECT_EQ(fs::file_size(folder.Path() / "copy2.gbk"), 0u);
}

TEST(CopyFileBytes, FailuresThrowAndLeaveNothingBehind) {
  TempFolder folder;
  folder.Write("source.gbk", "data");
  EXPECT_THROW(
      app::CopyFileBytes((folder.Path() / "missing.gbk").string(), (folder.Path() / "c.gbk").string()),
      std::system_error);
  EXPECT_THROW(
      app::CopyFileBytes((folder.Path() / "source.gbk").string(), (folder.Path() / "no/such/c.gbk").string()),
      std::system_error);
  const auto count = std::distance(fs::directory_iterator(folder.Path()), fs::directory_iterator());
  EXPECT_EQ(count, 1) << "neither a target nor a temporary file may remain";
}

TEST(CopyFileBytes, ReadOnlyFolderIsRefused) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  TempFolder folder;
  folder.Write("source.gbk", "data");
  fs::create_directory(folder.Path() / "ro");
  fs::permissions(folder.Path() / "ro", fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_THROW(
      app::CopyFileBytes((folder.Path() / "source.gbk").string(), (folder.Path() / "ro/c.gbk").string()),
      std::system_error);
}

TEST(ListFolder, ListsEverythingButDirectoriesWithTheFolderPrefix) {
  TempFolder folder;
  folder.Write("a.gbk", "");
  folder.Write(".hidden", "");
  fs::create_directory(folder.Path() / "sub");
  fs::create_symlink("a.gbk", folder.Path() / "link");
  auto list = app::ListFolder(folder.Path().string());
  std::sort(list->begin(), list->end());
  const std::string prefix = folder.Path().string() + "/";
  EXPECT_EQ(*list, (std::vector<std::string>{prefix + ".hidden", prefix + "a.gbk", prefix + "link"}));
  EXPECT_TRUE(app::ListFolder((folder.Path() / "none").string())->empty());
}

TEST(Expiry, LimitIsMidnightMinusTheRetentionDays) {
  const QDateTime now(QDate(2026, 5, 10), QTime(14, 30));
  EXPECT_TRUE(app::IsExpired(QDateTime(QDate(2026, 5, 3), QTime(0, 0, 0)), now, 7));
  EXPECT_FALSE(app::IsExpired(QDateTime(QDate(2026, 5, 3), QTime(0, 0, 2)), now, 7));
  EXPECT_TRUE(app::IsExpired(QDateTime(QDate(2026, 4, 1), QTime(12, 0)), now, 7));
  EXPECT_FALSE(app::IsExpired(QDateTime(QDate(2026, 5, 10), QTime(0, 0, 1)), now, 0));
}

TEST(Expiry, LastWriteTimeHasTwoSecondResolution) {
  TempFolder folder;
  folder.Write("f", "");
  const QDateTime written(QDate(2026, 5, 3), QTime(0, 0, 1));
  const auto seconds = static_cast<time_t>(written.toSecsSinceEpoch());
  const struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, (folder.Path() / "f").c_str(), times, 0), 0);
  EXPECT_EQ(app::LastWriteTime((folder.Path() / "f").string()), QDateTime(QDate(2026, 5, 3), QTime(0, 0, 0)));
  EXPECT_FALSE(app::LastWriteTime((folder.Path() / "gone").string()).has_value());
}

TEST(LogFile, AppendsNeverTruncatesAndRefusesAPlantedLink) {
  TempFolder folder;
  const auto log = folder.Path() / "backup.txt";
  folder.Write("backup.txt", "earlier block\r\n");
  {
    app::LogFile file(log.string());
    file.Append("new block\r\n");
    file.Close();
  }
  EXPECT_EQ(ReadAll(log), "earlier block\r\nnew block\r\n");
  struct stat info {};
  { app::LogFile created((folder.Path() / "fresh.txt").string()); }
  ASSERT_EQ(stat((folder.Path() / "fresh.txt").c_str(), &info), 0);
  EXPECT_EQ(
      info.st_mode & 0777, 0644 & ~[] {
        const mode_t mask = umask(0);
        umask(mask);
        return mask;
      }());

  folder.Write("target.txt", "do not touch");
  fs::create_symlink(folder.Path() / "target.txt", folder.Path() / "planted.txt");
  try {
    app::LogFile planted((folder.Path() / "planted.txt").string());
    FAIL() << "a link in the log's place must not be followed";
  } catch (const app::EInOutError& error) {
    EXPECT_EQ(std::string(error.what()), "I/O error " + std::to_string(ELOOP));
  }
  EXPECT_EQ(ReadAll(folder.Path() / "target.txt"), "do not touch");
  EXPECT_THROW(app::LogFile((folder.Path() / "no/such/backup.txt").string()), app::EInOutError);
}

}  // namespace
}  // namespace testsupport
