#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/ErrorRoute.h"
#include "app/Text.h"
#include "app/widgets/OutputView.h"
#include "app/window/TfrmBackup.h"
#include "db/ApplicationDatabase.h"
#include "db/BackupSettingsSource.h"
#include "services/ServicesManager.h"
#include "tests/app/support/FakePlatform.h"
#include "tests/support/AppDatabase.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TempFolder.h"

namespace testsupport {
namespace {

std::string FromHex(const char* hex) {
  std::string text;
  for (size_t i = 0; hex[i] != '\0' && hex[i + 1] != '\0'; i += 2) {
    text += static_cast<char>(std::stoi(std::string(hex + i, 2), nullptr, 16));
  }
  return text;
}

TEST(Secrets, NoPasswordInTheProgramTheLogTheOutputOrAnErrorText) {
  const std::string passwords[] = {FromHex(SERVICE_PASSWORD_HEX), FromHex(DATABASE_PASSWORD_HEX)};
  const std::string program = ReadAll(BACKUP_BINARY);
  ASSERT_GT(program.size(), 10000u);
  for (const auto& password : passwords) {
    ASSERT_FALSE(password.empty());
    EXPECT_EQ(program.find(password), std::string::npos) << "the program holds a password as plain text";
  }

  FakePlatform platform;
  TempFolder folder;
  FirebirdServer& server = FirebirdServer::Shared();
  const auto database = CreateAppDatabase(server, "SECRETS");
  folder.Write("sistema.ini",
               "[Dados]\r\nDir=" + server.Location(database) + "\r\n[Backup]\r\nSistema=Linux\r\n");
  app::TfrmBackup form(QStringList{QStringLiteral("backup"), QStringLiteral("MANUAL")},
                       QString::fromStdString(folder.WithSeparator()));
  app::Guarded([&] { form.tmrConexaoTimer(); });
  app::Guarded([&] { form.btnIniciarClick(); });
  // A refused attach on both sides: the texts name no password.
  auto refused = std::make_unique<db::BackupSettingsSource>();
  refused->IBODatabase.SetPassword("not the password");
  db::ApplicationDatabase wrongPassword(std::move(refused));
  services::ServicesManager backupServer;
  app::TfrmBackup other(QStringList{QStringLiteral("backup"), QStringLiteral("MANUAL")},
                        QString::fromStdString(folder.WithSeparator()),
                        core::RunPorts{wrongPassword, backupServer, wrongPassword});
  app::Guarded([&] { other.tmrConexaoTimer(); });
  other.Settings().databaseLocation = server.Host() + ":/no/such/database.fdb";
  app::Guarded([&] { other.btnIniciarClick(); });

  std::string seen =
      ReadAll(folder.Path() / "backup" / "backup.txt") + form.memSaida->Text() + other.memSaida->Text();
  for (const auto& box : platform.boxes)
    seen += app::ToCp1252(box.text);
  EXPECT_NE(seen.find("Backup conclu\xED"
                      "do."),
            std::string::npos);
  for (const auto& password : passwords)
    EXPECT_EQ(seen.find(password), std::string::npos);
}

}  // namespace
}  // namespace testsupport
