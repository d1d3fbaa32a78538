#include <gtest/gtest.h>

#include "core/BackupNames.h"
#include "core/LocationParts.h"

namespace testsupport {
namespace {

const platform::LocalDateTime kJobStart{2026, 3, 7, 21, 5, 59};

core::BackupSettings Settings(const std::string& location, const std::string& system = "Windows") {
  core::BackupSettings settings;
  settings.programFolder = "/opt/kelmora/";
  settings.databaseLocation = location;
  settings.serverSystem = system;
  return settings;
}

TEST(LocationParts, SplitAtTheFirstColon) {
  EXPECT_EQ(core::ServerPart("srv:C:\\base\\db.fdb"), "srv");
  EXPECT_EQ(core::PathPart("srv:C:\\base\\db.fdb"), "C:\\base\\db.fdb");
  EXPECT_EQ(core::ServerPart("/srv/app.fdb"), "");
  EXPECT_EQ(core::PathPart("/srv/app.fdb"), "/srv/app.fdb");
  // A drive letter without a server: the letter is taken for the server name.
  EXPECT_EQ(core::ServerPart("C:\\base\\db.fdb"), "C");
  EXPECT_EQ(core::PathPart("C:\\base\\db.fdb"), "\\base\\db.fdb");
  EXPECT_EQ(core::ServerPart("localhost/3051:/data/app.fdb"), "localhost/3051");
  EXPECT_EQ(core::ReplaceChar("a\\b\\c", '\\', '/'), "a/b/c");
}

TEST(BackupNames, LinuxServerGetsTheForwardSlashForm) {
  const auto names = core::BackupNames::For(Settings("dbhost:/var/data/APP.FDB", "Linux"), kJobStart);
  EXPECT_EQ(names.backupFolder, "/opt/kelmora/backup/");
  EXPECT_EQ(names.logFile, "/opt/kelmora/backup/backup.txt");
  EXPECT_EQ(names.serverName, "dbhost");
  EXPECT_EQ(names.databasePath, "/var/data/APP.FDB");
  EXPECT_EQ(names.timestamp, "_20260307_2105");
  EXPECT_EQ(names.databaseFileName, "APP.FDB");
  EXPECT_EQ(names.localBackupName, "/opt/kelmora/backup/APP_20260307_2105.gbk");
  EXPECT_EQ(names.serverTarget, "/opt/kelmora/backup/APP_20260307_2105.gbk");
  EXPECT_EQ(names.scratchDatabase, "/opt/kelmora/backup/APP_20260307_2105_verificacao.fdb");
  EXPECT_EQ(names.localScratchDatabase, "/opt/kelmora/backup/APP_20260307_2105_verificacao.fdb");
}

TEST(BackupNames, EveryOtherServerSystemGetsTheWindowsForm) {
  for (const std::string system : {"linux", "LINUX", "Windows", "", "Solaris"}) {
    const auto names = core::BackupNames::For(Settings("srv:C:\\Dados\\Base.fdb", system), kJobStart);
    EXPECT_EQ(names.serverTarget, "/opt/kelmora/backup\\Base_20260307_2105.gbk") << system;
    EXPECT_EQ(names.localBackupName, "/opt/kelmora/backup/Base_20260307_2105.gbk");
    EXPECT_EQ(names.scratchDatabase, "/opt/kelmora/backup\\Base_20260307_2105_verificacao.fdb") << system;
    EXPECT_EQ(names.localScratchDatabase, "/opt/kelmora/backup/Base_20260307_2105_verificacao.fdb");
  }
  // In the Windows form a "/" does not separate: the whole path is taken as the file name.
  const auto slashes = core::BackupNames::For(Settings("srv:/data/app.fdb", "Windows"), kJobStart);
  EXPECT_EQ(slashes.serverTarget, "/opt/kelmora/backup\\/data/app_20260307_2105.gbk");
  EXPECT_EQ(slashes.databaseFileName, "app.fdb");
}

TEST(BackupNames, TheLocationGivesTheServerThePathAndTheFileName) {
  struct Case {
    const char* location;
    std::string system;
    const char* serverName;
    const char* databasePath;
    const char* localBackupName;
    const char* serverTarget;
  };
  const Case cases[] = {
      {"/srv/app.fdb", "Linux", "", "/srv/app.fdb", "/opt/kelmora/backup/app_20260307_2105.gbk",
       "/opt/kelmora/backup/app_20260307_2105.gbk"},
      {"C:\\base\\db.fdb", "Windows", "C", "\\base\\db.fdb", "/opt/kelmora/backup/db_20260307_2105.gbk",
       "/opt/kelmora/backup\\db_20260307_2105.gbk"},
      {"srv:/data/DADOS", "Linux", "srv", "/data/DADOS", "/opt/kelmora/backup/DADOS_20260307_2105.gbk",
       "/opt/kelmora/backup/DADOS_20260307_2105.gbk"},
      {"srv:/data/v1.2.fdb", "Linux", "srv", "/data/v1.2.fdb", "/opt/kelmora/backup/v1.2_20260307_2105.gbk",
       "/opt/kelmora/backup/v1.2_20260307_2105.gbk"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.location);
    const auto names = core::BackupNames::For(Settings(c.location, c.system), kJobStart);
    EXPECT_EQ(names.serverName, c.serverName);
    EXPECT_EQ(names.databasePath, c.databasePath);
    EXPECT_EQ(names.localBackupName, c.localBackupName);
    EXPECT_EQ(names.serverTarget, c.serverTarget);
  }
}

TEST(BackupNames, CopyTargetGluesTheFileNameToTheCopyFolder) {
  auto settings = Settings("srv:/data/app.fdb", "Linux");
  settings.copyFolder = "/mnt/copia";
  EXPECT_EQ(core::BackupNames::For(settings, kJobStart).copyTarget, "/mnt/copiaapp_20260307_2105.gbk");
  settings.copyFolder = "/mnt/copia/";
  EXPECT_EQ(core::BackupNames::For(settings, kJobStart).copyTarget, "/mnt/copia/app_20260307_2105.gbk");
}

TEST(BackupNames, ProgramFolderBackslashesBecomeSlashesInTheLinuxForm) {
  auto settings = Settings("srv:/data/app.fdb", "Linux");
  settings.programFolder = "\\\\share\\kelmora\\";
  EXPECT_EQ(core::BackupNames::For(settings, kJobStart).serverTarget,
            "//share/kelmora/backup/app_20260307_2105.gbk");
}

TEST(BackupNames, MidnightAndSingleDigitsAreZeroPadded) {
  const auto names =
      core::BackupNames::For(Settings("srv:/d/a.fdb", "Linux"), platform::LocalDateTime{987, 1, 2, 0, 4, 0});
  EXPECT_EQ(names.timestamp, "_09870102_0004");
}

}  // namespace
}  // namespace testsupport
