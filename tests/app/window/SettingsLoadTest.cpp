#include <gtest/gtest.h>

#include <QLabel>

#include "ClientLibrary.h"
#include "app/ErrorRoute.h"
#include "app/desktop/TRxTrayIcon.h"
#include "app/window/TfrmBackup.h"
#include "tests/app/support/FakePlatform.h"
#include "tests/app/support/StartWindow.h"
#include "tests/app/support/StartsWith.h"
#include "tests/double/DoubleLoader.h"
#include "tests/support/AppDatabase.h"
#include "tests/support/CredentialsFile.h"
#include "tests/support/TempFolder.h"

namespace testsupport {
namespace {

constexpr long kNetworkError = 335544721;

class SettingsLoadTest : public ::testing::Test {
 protected:
  std::unique_ptr<app::TfrmBackup> Start(const std::string& location, bool manual) {
    return StartWindow(folder, location, manual);
  }
  // The tick as the event loop delivers it.
  static void Tick(app::TfrmBackup& form) {
    app::Guarded([&] { form.tmrConexaoTimer(); });
  }
  // A window on a new database of the given name whose first tick is refused the login.
  std::unique_ptr<app::TfrmBackup> TickWithAWrongPassword(const std::string& name, bool manual) {
    FirebirdServer& server = FirebirdServer::Shared();
    auto form = Start(server.Location(CreateAppDatabase(server, name)), manual);
    WriteCredentialsFile(folder.Path() / "credenciais", "Senha=wrong password\n");
    Tick(*form);
    return form;
  }

  FakePlatform platform;
  TempFolder folder;
};

TEST_F(SettingsLoadTest, ReadsTheRowThenDisconnectsAndShowsTheWaitingText) {
  FirebirdServer& server = FirebirdServer::Shared();
  const auto database = CreateAppDatabase(server, "load_ok", FullRowOptions());
  auto form = Start(server.Location(database), /*manual=*/false);
  Tick(*form);
  EXPECT_TRUE(platform.boxes.empty());
  EXPECT_FALSE(form->tmrConexao.isActive());
  EXPECT_FALSE(form->IBODatabase().Connected());
  EXPECT_EQ(form->stbStatusPanel->text(),
            QStringLiteral("Dados: ") + QString::fromStdString(server.Location(database)));
  const auto& settings = form->Settings();
  EXPECT_EQ(settings.scheduleTimes, (std::array<std::string, 4>{"08:00", "12:00", "18:30", ""}));
  // The row holds code page 1252; the program keeps the folder as the file system names it.
  EXPECT_EQ(settings.copyFolder, "/mnt/c\xC3\xB3pia/");
  EXPECT_EQ(settings.retentionDays, 12);
  EXPECT_EQ(form->txtStatus->text(), QStringLiteral("Aguardando os horários 08:00, 12:00, 18:30"));
}

TEST_F(SettingsLoadTest, EmptyTableGivesEmptySettingsAndManualModeKeepsItsText) {
  FirebirdServer& server = FirebirdServer::Shared();
  AppDatabaseOptions options;
  options.row.reset();
  const auto database = CreateAppDatabase(server, "load_empty", options);
  auto automatic = Start(server.Location(database), false);
  Tick(*automatic);
  EXPECT_EQ(automatic->Settings().scheduleTimes, (std::array<std::string, 4>{}));
  EXPECT_EQ(automatic->Settings().retentionDays, 0);
  EXPECT_EQ(automatic->txtStatus->text(), QStringLiteral("Aguardando os horários "));
  ASSERT_EQ(platform.notifications.size(), 1u) << "an empty schedule must not pass unnoticed";
  EXPECT_EQ(platform.notifications[0].text,
            QStringLiteral("Kelmora Backup|Nenhum horário de backup foi lido do banco de dados: "
                           "nenhum backup automático será feito."));
  EXPECT_EQ(automatic->RxTrayIcon->Hint(), QStringLiteral("Kelmora Backup - Sem horários de backup"));

  auto manual = Start(server.Location(database), true);
  Tick(*manual);
  EXPECT_EQ(platform.notifications.size(), 1u);
  EXPECT_EQ(manual->txtStatus->text(),
            QStringLiteral("Clique no botão INICIAR para realizar a cópia de segurança..."));
  EXPECT_FALSE(manual->IBODatabase().Connected());
}

TEST_F(SettingsLoadTest, MissingColumnReachesTheErrorBoxAndTheProgramRunsOnWithoutSettings) {
  FirebirdServer& server = FirebirdServer::Shared();
  AppDatabaseOptions options;
  options.omitColumn = "TX_FTP_SENHA";
  const auto database = CreateAppDatabase(server, "load_missing", options);
  auto form = Start(server.Location(database), false);
  Tick(*form);
  ASSERT_EQ(platform.boxes.size(), 1u);
  EXPECT_EQ(platform.boxes[0].kind, app::MessageBoxKind::StandardError);
  EXPECT_EQ(platform.boxes[0].text, QStringLiteral("tblBackup: Field 'TX_FTP_SENHA' not found."));
  EXPECT_EQ(form->Settings().scheduleTimes, (std::array<std::string, 4>{}));
  EXPECT_TRUE(form->txtStatus->text().isEmpty()) << "no waiting text after a failed load";
  EXPECT_TRUE(form->stbStatusPanel->text().startsWith(QStringLiteral("Dados: ")));
}

TEST_F(SettingsLoadTest, WrongPasswordInAutomaticModeIsNotified) {
  auto form = TickWithAWrongPassword("load_password_auto", false);
  EXPECT_TRUE(platform.boxes.empty());
  ASSERT_EQ(platform.notifications.size(), 1u);
  EXPECT_TRUE(StartsWith(
      platform.notifications[0].text,
      QStringLiteral("Kelmora Backup|As configurações de backup não foram lidas do banco de dados.\n"
                     "Your user name and password are not defined.")));
}

TEST_F(SettingsLoadTest, WrongPasswordIsSwallowedWithoutRetry) {
  auto form = TickWithAWrongPassword("load_password", true);
  EXPECT_TRUE(platform.boxes.empty());
  EXPECT_EQ(platform.sleptMilliseconds, 0);
  EXPECT_EQ(form->ReconnectionAttempt(), 1);
  EXPECT_FALSE(form->IBODatabase().Connected());
  EXPECT_TRUE(form->stbStatusPanel->text().isEmpty());
  EXPECT_EQ(form->txtStatus->text(),
            QStringLiteral("Clique no botão INICIAR para realizar a cópia de segurança..."));
  EXPECT_TRUE(platform.notifications.empty()) << "manual mode has no tray icon to speak from";
}

TEST_F(SettingsLoadTest, UnreachableServerIsTriedFiftyTimesThenTheProgramEnds) {
  const int closedPort = FreeLoopbackPort();
  auto form = Start("localhost/" + std::to_string(closedPort) + ":/nowhere/app.fdb", true);
  std::vector<QString> statusTexts;
  platform.onSleep = [&](int) {
    if (statusTexts.empty() || statusTexts.back() != form->txtStatus->text())
      statusTexts.push_back(form->txtStatus->text());
  };
  try {
    Tick(*form);
    FAIL() << "the program must end after the last attempt";
  } catch (const ProcessEnded& ended) {
    EXPECT_EQ(ended.exitCode, 0);
  }
  ASSERT_EQ(statusTexts.size(), 49u);
  EXPECT_EQ(statusTexts.front(), QStringLiteral("Tentativa de reconexão 1/50"));
  EXPECT_EQ(statusTexts.back(), QStringLiteral("Tentativa de reconexão 49/50"));
  EXPECT_EQ(form->txtStatus->text(), QStringLiteral("Tentativa de reconexão 50/50"));
  EXPECT_EQ(platform.sleptMilliseconds, 49 * 50 * 50);
  ASSERT_EQ(platform.boxes.size(), 1u);
  EXPECT_EQ(platform.boxes[0].kind, app::MessageBoxKind::Error);
  EXPECT_TRUE(StartsWith(platform.boxes[0].text,
                         QStringLiteral("A conexão foi recusada pelo servidor. Possíveis causas:\r1 - ")));
  EXPECT_TRUE(
      platform.boxes[0].text.endsWith(QStringLiteral("\r\rPor favor, contacte o administrador do sistema.")));
}

TEST_F(SettingsLoadTest, ServerComingUpDuringTheThirdPauseIsReadOnce) {
  FirebirdServer server;
  const auto database = CreateAppDatabase(server, "load_late");
  server.Stop();
  auto form = Start(server.Location(database), true);
  int afterConnects = 0;
  const auto original = form->IBODatabase().AfterConnect;
  form->IBODatabase().AfterConnect = [&](db::TIB_Connection* sender) {
    ++afterConnects;
    original(sender);
  };
  platform.onSleep = [&](int) {
    if (form->ReconnectionAttempt() == 3 && !server.Running()) server.Start();
  };
  Tick(*form);
  EXPECT_EQ(afterConnects, 1);
  EXPECT_EQ(form->ReconnectionAttempt(), 4);
  EXPECT_EQ(form->txtStatus->text(), QStringLiteral("Tentativa de reconexão 3/50"));
  EXPECT_EQ(form->Settings().scheduleTimes[0], "08:00");
  EXPECT_FALSE(form->IBODatabase().Connected());
  EXPECT_TRUE(platform.boxes.empty());
}

TEST_F(SettingsLoadTest, SairDuringThePausesEndsTheAttempts) {
  const int closedPort = FreeLoopbackPort();
  auto form = Start("localhost/" + std::to_string(closedPort) + ":/nowhere/app.fdb", false);
  platform.onSleep = [&](int) {
    if (form->ReconnectionAttempt() == 2) form->popSair->trigger();
  };
  Tick(*form);
  EXPECT_EQ(form->ReconnectionAttempt(), 2);
  EXPECT_TRUE(platform.boxes.empty());
  EXPECT_FALSE(form->RxTrayIcon->Active());
}

void ExpectBoxAtTheLastAttempt(FakePlatform& platform, app::TfrmBackup& form, long code,
                               const QString& start) {
  fbdouble::Control& control = fbdouble::LoadVariant("full");
  db::SetClientLibraryFileNames({fbdouble::VariantPath("full")});
  control.Fail("isc_attach_database", {isc_arg_gds, code, isc_arg_end}, 0, -1);
  EXPECT_THROW(app::Guarded([&] { form.tmrConexaoTimer(); }), ProcessEnded);
  EXPECT_EQ(fbdouble::CallsTo(control.Calls(), "isc_attach_database").size(), 50u);
  ASSERT_EQ(platform.boxes.size(), 1u);
  EXPECT_TRUE(StartsWith(platform.boxes[0].text, start));
}

TEST_F(SettingsLoadTest, AddressNotFoundAtTheLastAttemptShowsItsOwnBox) {
  auto form = Start("nohost:/db.fdb", true);
  ExpectBoxAtTheLastAttempt(
      platform, *form, 335544704,
      QStringLiteral("O endereço IP do servidor especificado no arquivo INI não foi encontrado."
                     "\r\rPor favor, contacte o administrador da rede."));
}

TEST_F(SettingsLoadTest, UnavailableAtTheLastAttemptShowsTheRefusedBox) {
  auto form = Start("nohost:/db.fdb", true);
  ExpectBoxAtTheLastAttempt(platform, *form, 335544375,
                            QStringLiteral("A conexão foi recusada pelo servidor."));
}

TEST_F(SettingsLoadTest, MissingClientLibraryReachesTheErrorBoxWithoutAttempts) {
  db::SetClientLibraryFileNames({"/nonexistent/libfbclient.so.2"});
  auto form = Start("localhost:/db.fdb", true);
  Tick(*form);
  ASSERT_EQ(platform.boxes.size(), 1u);
  EXPECT_EQ(platform.boxes[0].kind, app::MessageBoxKind::StandardError);
  EXPECT_EQ(platform.boxes[0].text, QStringLiteral("O cliente InterBase (GDS32.DLL) não está instalado."));
  EXPECT_EQ(form->ReconnectionAttempt(), 1);
}

}  // namespace
}  // namespace testsupport
