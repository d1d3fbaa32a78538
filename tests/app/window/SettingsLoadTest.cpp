#include <gtest/gtest.h>

#include <QLabel>

#include "app/Text.h"
#include "app/desktop/TRxTrayIcon.h"
#include "tests/app/support/StartsWith.h"
#include "tests/app/support/WindowTest.h"
#include "tests/support/CredentialsFile.h"

namespace testsupport {
namespace {

core::AttachError Refused(core::AttachFailure failure) {
  return {failure,
          {"Unable to complete network request to host \"dbhost\".", "Failed to establish a connection."}};
}

const core::AttachError kWrongPassword = {core::AttachFailure::LoginRefused,
                                          {"Your user name and password are not defined. Ask your database "
                                           "administrator to set up a Firebird login."}};

// The window's settings load: started with its connection timer, whose tick the test delivers.
class SettingsLoadTest : public WindowTest {
 protected:
  std::unique_ptr<app::TfrmBackup> Start(bool manual, const std::string& backupLines = {}) {
    return StartWindow(folder, kLocation, manual, server, "Linux", backupLines);
  }
};

TEST_F(SettingsLoadTest, ReadsTheRowThenShowsTheDatabaseAndTheWaitingText) {
  server.row = {{"08:00", "12:00", "18:30", ""}, "/mnt/c\xF3pia/", 12};
  auto form = Start(false);
  Tick(*form);
  EXPECT_TRUE(platform.boxes.empty());
  EXPECT_FALSE(form->tmrConexao.isActive());
  EXPECT_EQ(server.attemptsMade, 1);
  EXPECT_EQ(server.logins, std::vector<std::string>{"row built-in"});
  EXPECT_EQ(form->stbStatusPanel->text(), QStringLiteral("Dados: dbhost:/dados/APP.FDB"));
  const auto& settings = form->Settings();
  EXPECT_EQ(settings.scheduleTimes, (std::array<std::string, 4>{"08:00", "12:00", "18:30", ""}));
  // The row holds code page 1252; the program keeps the folder as the file system names it.
  EXPECT_EQ(settings.copyFolder, "/mnt/c\xC3\xB3pia/");
  EXPECT_EQ(settings.retentionDays, 12);
  EXPECT_EQ(form->txtStatus->text(), QStringLiteral("Aguardando os horários 08:00, 12:00, 18:30"));
}

TEST_F(SettingsLoadTest, EmptyRowGivesEmptySettingsAndManualModeKeepsItsText) {
  server.row = {};
  auto automatic = Start(false, "MostrarEstado=1\r\n");
  Tick(*automatic);
  EXPECT_EQ(automatic->Settings().scheduleTimes, (std::array<std::string, 4>{}));
  EXPECT_EQ(automatic->Settings().retentionDays, 0);
  EXPECT_EQ(automatic->txtStatus->text(), QStringLiteral("Aguardando os horários "));
  ASSERT_EQ(platform.notifications.size(), 1u) << "an empty schedule must not pass unnoticed";
  EXPECT_EQ(platform.notifications[0].text,
            QStringLiteral("Kelmora Backup|Nenhum horário de backup foi lido do banco de dados: "
                           "nenhum backup automático será feito."));
  EXPECT_EQ(automatic->RxTrayIcon->Hint(), QStringLiteral("Kelmora Backup - Sem horários de backup"));

  auto manual = Start(true);
  Tick(*manual);
  EXPECT_EQ(platform.notifications.size(), 1u);
  EXPECT_EQ(manual->txtStatus->text(),
            QStringLiteral("Clique no botão INICIAR para realizar a cópia de segurança..."));
}

TEST_F(SettingsLoadTest, AQueryErrorReachesTheErrorBoxAndTheProgramRunsOnWithoutSettings) {
  server.queryError = "tblBackup: Field 'TX_FTP_SENHA' not found";
  auto form = Start(false);
  Tick(*form);
  ASSERT_EQ(platform.boxes.size(), 1u);
  EXPECT_EQ(platform.boxes[0].kind, app::MessageBoxKind::StandardError);
  EXPECT_EQ(platform.boxes[0].text, QStringLiteral("tblBackup: Field 'TX_FTP_SENHA' not found."));
  EXPECT_EQ(form->Settings().scheduleTimes, (std::array<std::string, 4>{}));
  EXPECT_TRUE(form->txtStatus->text().isEmpty()) << "no waiting text after a failed load";
  EXPECT_EQ(form->stbStatusPanel->text(), QStringLiteral("Dados: dbhost:/dados/APP.FDB"));
}

TEST_F(SettingsLoadTest, WrongPasswordIsSwallowedWithoutRetryAndNotifiedInAutomaticMode) {
  server.attachFailures = {kWrongPassword};
  auto manual = Start(true);
  Tick(*manual);
  EXPECT_TRUE(platform.boxes.empty());
  EXPECT_EQ(platform.sleptMilliseconds, 0);
  EXPECT_EQ(manual->ReconnectionAttempt(), 1);
  EXPECT_TRUE(manual->stbStatusPanel->text().isEmpty());
  EXPECT_EQ(manual->txtStatus->text(),
            QStringLiteral("Clique no botão INICIAR para realizar a cópia de segurança..."));
  EXPECT_TRUE(platform.notifications.empty()) << "manual mode has no tray icon to speak from";

  // In automatic mode a connection error other than the network's gives no message at all, unless the
  // state is asked for.
  for (const std::string& keys : {std::string(), std::string("MostrarEstado=1\r\n")}) {
    server.attemptsMade = 0;
    server.attachFailures = {kWrongPassword};
    auto automatic = Start(false, keys);
    Tick(*automatic);
    EXPECT_TRUE(platform.boxes.empty());
    ASSERT_EQ(platform.notifications.size(), keys.empty() ? 0u : 1u) << keys;
  }
  EXPECT_EQ(platform.notifications[0].text,
            QStringLiteral("Kelmora Backup|As configurações de backup não foram lidas do banco de dados.\n"
                           "Your user name and password are not defined. Ask your database administrator to "
                           "set up a Firebird login."));
  EXPECT_EQ(platform.urgencies[0], app::NotificationUrgency::Critical);
}

TEST_F(SettingsLoadTest, TheCredentialsFilesLoginIsUsedAndARefusedFileSendsNothing) {
  WriteCredentialsFile(folder.Path() / "credenciais", "[Banco]\nUsuario=ANA\nSenha=s\n");
  auto form = Start(true);
  Tick(*form);
  EXPECT_EQ(server.logins, std::vector<std::string>{"row ANA/s"});

  std::filesystem::permissions(folder.Path() / "credenciais", std::filesystem::perms::others_read,
                               std::filesystem::perm_options::add);
  Tick(*form);
  EXPECT_EQ(server.logins.size(), 1u) << "nothing reaches the server";
  EXPECT_TRUE(StartsWith(app::FromCp1252(form->memSaida->Lines().back()),
                         QStringLiteral("O arquivo de credenciais ")));
}

TEST_F(SettingsLoadTest, UnreachableServerIsTriedFiftyTimesThenTheProgramEnds) {
  struct Case {
    core::AttachFailure failure;
    QString box;
  };
  const Case cases[] = {
      {core::AttachFailure::ServerUnreachable,
       QStringLiteral("A conexão foi recusada pelo servidor. Possíveis causas:\r"
                      "1 - Servidor não localizado, verifique o endereço IP no arquivo INI.\r"
                      "2 - Firebird INATIVO no servidor, verifique se está instalado.\r"
                      "3 - Porta 3050 bloqueada no servidor, libere a porta no firewall.\r\r"
                      "Por favor, contacte o administrador do sistema.")},
      {core::AttachFailure::AddressNotFound,
       QStringLiteral("O endereço IP do servidor especificado no arquivo INI não foi encontrado.\r\r"
                      "Por favor, contacte o administrador da rede.")},
  };
  for (const Case& c : cases) {
    platform.boxes.clear();
    platform.sleptMilliseconds = 0;
    server.attemptsMade = 0;
    server.attachFailures = {Refused(c.failure)};
    server.failForever = true;
    auto form = Start(true);
    std::vector<QString> statusTexts;
    platform.onSleep = [&](int) {
      if (statusTexts.empty() || statusTexts.back() != form->txtStatus->text())
        statusTexts.push_back(form->txtStatus->text());
    };
    try {
      Tick(*form);
      ADD_FAILURE() << "the program must end after the last attempt";
    } catch (const ProcessEnded& ended) {
      EXPECT_EQ(ended.exitCode, 0);
    }
    EXPECT_EQ(server.attemptsMade, 50);
    ASSERT_EQ(statusTexts.size(), 49u);
    EXPECT_EQ(statusTexts.front(), QStringLiteral("Tentativa de reconexão 1/50"));
    EXPECT_EQ(statusTexts.back(), QStringLiteral("Tentativa de reconexão 49/50"));
    EXPECT_EQ(form->txtStatus->text(), QStringLiteral("Tentativa de reconexão 50/50"));
    EXPECT_EQ(platform.sleptMilliseconds, 49 * 50 * 50);
    ASSERT_EQ(platform.boxes.size(), 1u);
    EXPECT_EQ(platform.boxes[0].kind, app::MessageBoxKind::Error);
    EXPECT_EQ(platform.boxes[0].text, c.box);
  }
}

TEST_F(SettingsLoadTest, ServerComingUpDuringTheThirdPauseIsReadOnce) {
  server.attachFailures = {Refused(core::AttachFailure::ServerUnreachable),
                           Refused(core::AttachFailure::ServerUnreachable),
                           Refused(core::AttachFailure::ServerUnreachable)};
  auto form = Start(true);
  Tick(*form);
  EXPECT_EQ(server.attemptsMade, 4);
  EXPECT_EQ(form->ReconnectionAttempt(), 4);
  EXPECT_EQ(form->txtStatus->text(), QStringLiteral("Tentativa de reconexão 3/50"));
  EXPECT_EQ(form->Settings().scheduleTimes[0], "08:00");
  EXPECT_EQ(form->stbStatusPanel->text(), QStringLiteral("Dados: dbhost:/dados/APP.FDB"));
  EXPECT_EQ(platform.sleptMilliseconds, 3 * 50 * 50);
  EXPECT_TRUE(platform.boxes.empty());
}

TEST_F(SettingsLoadTest, SairDuringThePausesEndsTheAttempts) {
  server.attachFailures = {Refused(core::AttachFailure::ServerUnreachable)};
  server.failForever = true;
  auto form = Start(false);
  platform.onSleep = [&](int) {
    if (form->ReconnectionAttempt() == 2) form->popSair->trigger();
  };
  Tick(*form);
  EXPECT_EQ(form->ReconnectionAttempt(), 2);
  EXPECT_EQ(server.attemptsMade, 2);
  EXPECT_TRUE(platform.boxes.empty());
  EXPECT_FALSE(form->RxTrayIcon->Active());
}

TEST_F(SettingsLoadTest, MissingClientLibraryReachesTheErrorBoxWithoutAttempts) {
  server.noClientLibrary = "O cliente InterBase (GDS32.DLL) n\xE3o est\xE1 instalado";
  auto form = Start(true);
  Tick(*form);
  ASSERT_EQ(platform.boxes.size(), 1u);
  EXPECT_EQ(platform.boxes[0].kind, app::MessageBoxKind::StandardError);
  EXPECT_EQ(platform.boxes[0].text, QStringLiteral("O cliente InterBase (GDS32.DLL) não está instalado."));
  EXPECT_EQ(form->ReconnectionAttempt(), 1);
  EXPECT_EQ(server.attemptsMade, 0);
}

}  // namespace
}  // namespace testsupport
