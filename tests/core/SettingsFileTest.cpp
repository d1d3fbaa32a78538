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
  // The extras stay off, so a file with only Dir and Sistema gives the program as it always was.
  EXPECT_FALSE(older.monitorSignals);
  EXPECT_FALSE(older.catchUpMissedTimes);
  EXPECT_FALSE(older.showBackupState);
  EXPECT_FALSE(older.explainServerAccess);
  EXPECT_FALSE(older.transferBackup);
  EXPECT_FALSE(older.omitServerLines);
  EXPECT_EQ(older.verificationFolder, "");

  const core::BackupSettings full = Read(
      "[Dados]\nDir=srv:/dados/APP.FDB\n[Backup]\nSistema=Linux\nContaServidor=fb\nVerificar=1\n"
      "UrlMonitor=https://hc.example.net/ping/c\xC3\xA9u\nMonitorDetalhado=1\nrecuperarhorarios = Sim\n"
      "MostrarEstado=on\nExplicarAcesso=S\nTransferir=Sim\nPastaVerificacao=D:\\Verifica\xE7\xE3o\n"
      "OmitirDetalhes=y\n");
  EXPECT_EQ(full.serverSystem, "Linux");
  EXPECT_EQ(full.serverAccount, "fb");
  EXPECT_TRUE(full.verifyBackup);
  EXPECT_EQ(full.monitorUrl, "https://hc.example.net/ping/c\xC3\xA9u");
  EXPECT_TRUE(full.monitorSignals);
  EXPECT_TRUE(full.catchUpMissedTimes);
  EXPECT_TRUE(full.showBackupState);
  EXPECT_TRUE(full.explainServerAccess);
  EXPECT_TRUE(full.transferBackup);
  EXPECT_TRUE(full.omitServerLines);
  EXPECT_EQ(full.verificationFolder, "D:\\Verifica\xC3\xA7\xC3\xA3o") << "code page 1252 in the file";

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
