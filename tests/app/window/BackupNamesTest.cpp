#include <gtest/gtest.h>

#include "app/BackupNames.h"
#include "app/LocationParts.h"

namespace testsupport {
namespace {

const QDateTime kJobStart(QDate(2026, 3, 7), QTime(21, 5, 59));

app::BackupSettings Settings(const std::string& location, const std::string& system = "Windows") {
  app::BackupSettings settings;
  settings.programFolder = "/opt/kelmora/";
  settings.databaseLocation = location;
  settings.serverSystem = system;
  return settings;
}

TEST(LocationParts, SplitAtTheFirstColon) {
  EXPECT_EQ(app::ServerPart("srv:C:\\base\\db.fdb"), "srv");
  EXPECT_EQ(app::PathPart("srv:C:\\base\\db.fdb"), "C:\\base\\db.fdb");
  EXPECT_EQ(app::ServerPart("/srv/app.fdb"), "");
  EXPECT_EQ(app::PathPart("/srv/app.fdb"), "/srv/app.fdb");
  // A drive letter without a server: the letter is taken for the server name.
  EXPECT_EQ(app::ServerPart("C:\\base\\db.fdb"), "C");
  EXPECT_EQ(app::PathPart("C:\\base\\db.fdb"), "\\base\\db.fdb");
  EXPECT_EQ(app::ServerPart("localhost/3051:/data/app.fdb"), "localhost/3051");
  EXPECT_EQ(app::ReplaceChar("a\\b\\c", '\\', '/'), "a/b/c");
}

TEST(BackupNames, LinuxServerGetsTheForwardSlashForm) {
  const auto names = app::BackupNames::For(Settings("dbhost:/var/data/APP.FDB", "Linux"), kJobStart);
  EXPECT_EQ(names.backupFolder, "/opt/kelmora/backup/");
  EXPECT_EQ(names.logFile, "/opt/kelmora/backup/backup.txt");
  EXPECT_EQ(names.serverName, "dbhost");
  EXPECT_EQ(names.databasePath, "/var/data/APP.FDB");
  EXPECT_EQ(names.timestamp, "_20260307_2105");
  EXPECT_EQ(names.databaseFileName, "APP.FDB");
  EXPECT_EQ(names.localBackupName, "/opt/kelmora/backup/APP_20260307_2105.gbk");
  EXPECT_EQ(names.serverTarget, "/opt/kelmora/backup/APP_20260307_2105.gbk");
}

TEST(BackupNames, EveryOtherServerSystemGetsTheWindowsForm) {
  for (const std::string system : {"linux", "LINUX", "Windows", "", "Solaris"}) {
    const auto names = app::BackupNames::For(Settings("srv:C:\\Dados\\Base.fdb", system), kJobStart);
    EXPECT_EQ(names.serverTarget, "/opt/kelmora/backup\\Base_20260307_2105.gbk") << system;
    EXPECT_EQ(names.localBackupName, "/opt/kelmora/backup/Base_20260307_2105.gbk");
  }
  // In the Windows form a "/" does not separate: the whole path is taken as the file name.
  const auto slashes = app::BackupNames::For(Settings("srv:/data/app.fdb", "Windows"), kJobStart);
  EXPECT_EQ(slashes.serverTarget, "/opt/kelmora/backup\\/data/app_20260307_2105.gbk");
  EXPECT_EQ(slashes.databaseFileName, "app.fdb");
}

TEST(BackupNames, LocationWithoutColonOrWithADriveLetter) {
  const auto plain = app::BackupNames::For(Settings("/srv/app.fdb", "Linux"), kJobStart);
  EXPECT_EQ(plain.serverName, "");
  EXPECT_EQ(plain.databasePath, "/srv/app.fdb");
  EXPECT_EQ(plain.serverTarget, "/opt/kelmora/backup/app_20260307_2105.gbk");

  const auto drive = app::BackupNames::For(Settings("C:\\base\\db.fdb"), kJobStart);
  EXPECT_EQ(drive.serverName, "C");
  EXPECT_EQ(drive.databasePath, "\\base\\db.fdb");
  EXPECT_EQ(drive.serverTarget, "/opt/kelmora/backup\\db_20260307_2105.gbk");
}

TEST(BackupNames, FileWithoutExtensionOrWithSeveralDots) {
  const auto bare = app::BackupNames::For(Settings("srv:/data/DADOS", "Linux"), kJobStart);
  EXPECT_EQ(bare.localBackupName, "/opt/kelmora/backup/DADOS_20260307_2105.gbk");
  EXPECT_EQ(bare.serverTarget, "/opt/kelmora/backup/DADOS_20260307_2105.gbk");
  const auto dotted = app::BackupNames::For(Settings("srv:/data/v1.2.fdb", "Linux"), kJobStart);
  EXPECT_EQ(dotted.localBackupName, "/opt/kelmora/backup/v1.2_20260307_2105.gbk");
}

TEST(BackupNames, CopyTargetGluesTheFileNameToTheCopyFolder) {
  auto settings = Settings("srv:/data/app.fdb", "Linux");
  settings.copyFolder = "/mnt/copia";
  EXPECT_EQ(app::BackupNames::For(settings, kJobStart).copyTarget, "/mnt/copiaapp_20260307_2105.gbk");
  settings.copyFolder = "/mnt/copia/";
  EXPECT_EQ(app::BackupNames::For(settings, kJobStart).copyTarget, "/mnt/copia/app_20260307_2105.gbk");
}

TEST(BackupNames, ProgramFolderBackslashesBecomeSlashesInTheLinuxForm) {
  auto settings = Settings("srv:/data/app.fdb", "Linux");
  settings.programFolder = "\\\\share\\kelmora\\";
  EXPECT_EQ(app::BackupNames::For(settings, kJobStart).serverTarget,
            "//share/kelmora/backup/app_20260307_2105.gbk");
}

TEST(BackupNames, MidnightAndSingleDigitsAreZeroPadded) {
  const auto names =
      app::BackupNames::For(Settings("srv:/d/a.fdb", "Linux"), QDateTime(QDate(987, 1, 2), QTime(0, 4)));
  EXPECT_EQ(names.timestamp, "_09870102_0004");
}

}  // namespace
}  // namespace testsupport
