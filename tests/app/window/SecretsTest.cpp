#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/ErrorRoute.h"
#include "app/Text.h"
#include "app/widgets/OutputView.h"
#include "app/window/TfrmBackup.h"
#include "tests/app/support/FakePlatform.h"
#include "tests/support/AppDatabase.h"
#include "tests/support/CredentialsFile.h"
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
  // A refused attach on both sides with the credentials file's password: the texts name no password.
  const std::string filePassword = "not the password =;#";
  const std::filesystem::path credentials = folder.Path() / "credenciais";
  WriteCredentialsFile(credentials, "Senha=" + filePassword + "\n");
  app::Guarded([&] { form.tmrConexaoTimer(); });
  form.Settings().databaseLocation = server.Host() + ":/no/such/database.fdb";
  app::Guarded([&] { form.btnIniciarClick(); });
  std::string seen = form.memSaida->Text();

  // The same file open to others is refused before anything goes to the server, in the output area at the
  // settings load and in the job's block.
  std::filesystem::permissions(credentials, std::filesystem::perms::others_read,
                               std::filesystem::perm_options::add);
  const std::string refused = "credenciais foi recusado: outros usu\xE1rios podem l\xEA-lo";
  app::Guarded([&] { form.tmrConexaoTimer(); });
  EXPECT_NE(form.memSaida->Text().find(refused), std::string::npos) << form.memSaida->Text();
  seen += form.memSaida->Text();
  app::Guarded([&] { form.btnIniciarClick(); });
  const std::string log = ReadAll(folder.Path() / "backup" / "backup.txt");
  EXPECT_NE(log.substr(log.rfind("Backup iniciado em")).find(refused), std::string::npos) << log;

  seen += log + form.memSaida->Text();
  for (const auto& box : platform.boxes)
    seen += app::ToCp1252(box.text);
  EXPECT_NE(seen.find("Backup conclu\xED"
                      "do."),
            std::string::npos);
  for (const auto& password : {passwords[0], passwords[1], filePassword})
    EXPECT_EQ(seen.find(password), std::string::npos);
}

}  // namespace
}  // namespace testsupport
