#include <gtest/gtest.h>

#include "core/SettingsFile.h"
#include "tests/support/TempFolder.h"

namespace testsupport {
namespace {

core::BackupSettings Read(const std::string& ini) {
  TempFolder folder;
  folder.Write("sistema.ini", ini);
  core::BackupSettings settings;
  settings.programFolder = folder.WithSeparator();
  core::ReadSettingsFile(settings, platform::Current());
  return settings;
}

TEST(SettingsFile, KeysAnOlderFileLacksKeepTheirDefaults) {
  const core::BackupSettings older = Read("[Dados]\r\nDir=srv:/dados/APP.FDB\r\n");
  EXPECT_EQ(older.databaseLocation, "srv:/dados/APP.FDB");
  EXPECT_EQ(older.serverSystem, "Windows");
  EXPECT_EQ(older.serverAccount, "firebird");
  EXPECT_FALSE(older.verifyBackup);
  EXPECT_EQ(older.monitorUrl, "");

  const core::BackupSettings full = Read(
      "[Dados]\nDir=srv:/dados/APP.FDB\n[Backup]\nSistema=Linux\nContaServidor=fb\nVerificar=1\n"
      "UrlMonitor=https://hc.example.net/ping/c\xC3\xA9u\n");
  EXPECT_EQ(full.serverSystem, "Linux");
  EXPECT_EQ(full.serverAccount, "fb");
  EXPECT_TRUE(full.verifyBackup);
  EXPECT_EQ(full.monitorUrl, "https://hc.example.net/ping/c\xC3\xA9u");

  const core::BackupSettings missing = Read("");
  EXPECT_EQ(missing.databaseLocation, "");
  EXPECT_FALSE(missing.verifyBackup);
}

TEST(SettingsFile, SwitchesAreOnOnlyForTheWordsThatSaySo) {
  for (const char* on : {"1", "S", "sim", "SIM", "y", "Yes", "true", "ON", " 1 "})
    EXPECT_TRUE(core::SwitchIsOn(on)) << on;
  for (const char* off : {"", "0", "N", "nao", "não", "false", "off", "2", "11", "sim!", "verdadeiro"})
    EXPECT_FALSE(core::SwitchIsOn(off)) << off;
}

}  // namespace
}  // namespace testsupport
