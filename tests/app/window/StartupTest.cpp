#include <gtest/gtest.h>

#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <fstream>

#include "app/ErrorRoute.h"
#include "app/desktop/TRxTrayIcon.h"
#include "app/widgets/OutputView.h"
#include "app/widgets/ProgressGauge.h"
#include "app/window/RunMode.h"
#include "app/window/TfrmBackup.h"
#include "core/ProfileReader.h"
#include "tests/app/support/FakePlatform.h"
#include "tests/support/TempFolder.h"

namespace testsupport {
namespace {

QStringList Args(std::initializer_list<const char*> rest) {
  QStringList list{QStringLiteral("/opt/kelmora/backup")};
  for (const char* a : rest)
    list << QString::fromUtf8(a);
  return list;
}

TEST(RunMode, ManualOnlyForTheWordManualInAnyLetterCase) {
  EXPECT_TRUE(app::IsManualMode(Args({"MANUAL"})));
  EXPECT_TRUE(app::IsManualMode(Args({"manual"})));
  EXPECT_TRUE(app::IsManualMode(Args({"MaNuAl", "extra", "arguments"})));
  EXPECT_FALSE(app::IsManualMode(Args({})));
  EXPECT_FALSE(app::IsManualMode(Args({"/MANUAL"})));
  EXPECT_FALSE(app::IsManualMode(Args({"-manual"})));
  EXPECT_FALSE(app::IsManualMode(Args({"MANUALX"})));
  EXPECT_FALSE(app::IsManualMode(Args({" MANUAL"})));
  EXPECT_FALSE(app::IsManualMode(Args({"AUTO", "MANUAL"})));
  // Only ASCII letters are upper-cased: a look-alike does not select manual mode.
  EXPECT_FALSE(app::IsManualMode(QStringList{QStringLiteral("backup"), QStringLiteral("manuаl")}));
}

TEST(RunMode, TheCommandLineIsTakenAsGivenWithTheToolkitsOptionsStillInIt) {
  const char* styled[] = {"/opt/kelmora/kelmora-backup", "-style", "fusion", "MANUAL", nullptr};
  const QStringList arguments = app::ProgramArguments(4, styled);
  EXPECT_EQ(arguments, (QStringList{"/opt/kelmora/kelmora-backup", "-style", "fusion", "MANUAL"}));
  EXPECT_FALSE(app::IsManualMode(arguments)) << "the first argument is \"-style\"";
  const char* reversed[] = {"kelmora-backup", "manual", "-reverse", nullptr};
  EXPECT_TRUE(app::IsManualMode(app::ProgramArguments(3, reversed)));
}

TEST(ProfileReading, TheReadmesSampleGivesTheLocationAndTheSystemItDescribes) {
  std::ifstream in(README_FILE, std::ios::binary);
  const std::string readme((std::istreambuf_iterator<char>(in)), {});
  const size_t start = readme.find("```ini\n");
  ASSERT_NE(start, std::string::npos);
  const size_t end = readme.find("```", start + 7);
  ASSERT_NE(end, std::string::npos);
  const auto profile = core::ProfileReader::FromText(readme.substr(start + 7, end - start - 7));
  EXPECT_EQ(profile.ReadString("Dados", "Dir", ""), "dbserver:/var/lib/kelmora/KELMORA.FDB");
  EXPECT_EQ(profile.ReadString("Backup", "Sistema", "Windows"), "Linux");
}

class StartupTest : public ::testing::Test {
 protected:
  FakePlatform platform;
  TempFolder folder;
};

TEST_F(StartupTest, MissingLocationShowsTheErrorBoxAndEndsWithCodeZero) {
  for (const std::string& ini :
       {std::string(), std::string("[Dados]\r\nDir=\r\n"), std::string("[Backup]\r\n")}) {
    platform.boxes.clear();
    if (!ini.empty()) folder.Write("sistema.ini", ini);
    try {
      app::TfrmBackup form(Args({"MANUAL"}), QString::fromStdString(folder.WithSeparator()));
      FAIL() << "the program must end";
    } catch (const ProcessEnded& ended) {
      EXPECT_EQ(ended.exitCode, 0);
    }
    ASSERT_EQ(platform.boxes.size(), 1u);
    EXPECT_EQ(platform.boxes[0].kind, app::MessageBoxKind::Error);
    EXPECT_EQ(platform.boxes[0].text,
              QStringLiteral("Não foi encontrado o arquivo de configuração SISTEMA.INI.\r\r"
                             "Por favor verifique o diretório do executável ou as propriedades do atalho."));
  }
}

TEST_F(StartupTest, ManualModeShowsTheStartTextAndRemovesTheTrayIcon) {
  folder.Write("sistema.ini", "[Dados]\r\nDir=srv:C:\\db.fdb\r\n");
  app::TfrmBackup form(Args({"Manual"}), QString::fromStdString(folder.WithSeparator()));
  EXPECT_TRUE(form.ManualMode());
  EXPECT_TRUE(platform.boxes.empty());
  EXPECT_EQ(form.Settings().databaseLocation, "srv:C:\\db.fdb");
  EXPECT_EQ(form.Settings().serverSystem, "Windows");
  EXPECT_EQ(form.Settings().programFolder, folder.WithSeparator());
  EXPECT_EQ(form.txtStatus->text(),
            QStringLiteral("Clique no botão INICIAR para realizar a cópia de segurança..."));
  EXPECT_TRUE(form.txtHora->isHidden());
  EXPECT_FALSE(form.btnIniciar->isHidden());
  EXPECT_FALSE(form.RxTrayIcon->Active());
  EXPECT_FALSE(form.tmrRelogio.isActive());
  EXPECT_TRUE(form.tmrConexao.isActive());
  EXPECT_EQ(form.tmrConexao.interval(), 1000) << "the settings are read a second after the start";
  EXPECT_EQ(form.ReconnectionAttempt(), 1);
  EXPECT_TRUE(form.stbStatusPanel->text().isEmpty());
}

TEST_F(StartupTest, AutomaticModeStartsTheClockHidesTheButtonAndKeepsTheIcon) {
  folder.Write("sistema.ini", "[Dados]\nDir=localhost/3050:/srv/app.fdb\n[Backup]\nSistema=Linux\n");
  app::TfrmBackup form(Args({}), QString::fromStdString(folder.WithSeparator()));
  EXPECT_FALSE(form.ManualMode());
  EXPECT_EQ(form.Settings().serverSystem, "Linux");
  EXPECT_TRUE(form.tmrRelogio.isActive());
  EXPECT_EQ(form.tmrRelogio.interval(), 1000);
  EXPECT_EQ(form.tmrRelogio.timerType(), Qt::PreciseTimer) << "a coarse one is moved to a second's edge";
  EXPECT_TRUE(form.btnIniciar->isHidden());
  EXPECT_TRUE(form.RxTrayIcon->Active());
  EXPECT_EQ(app::TRxTrayIcon::ShortHint(form.RxTrayIcon->Hint()), QStringLiteral("Kelmora Backup"));
  EXPECT_FALSE(form.isVisible());
  EXPECT_TRUE(form.txtStatus->text().isEmpty());
}

TEST_F(StartupTest, ElementsStandWhereTheWindowDefinesThem) {
  folder.Write("sistema.ini", "[Dados]\nDir=srv:/db.fdb\n");
  app::TfrmBackup form(Args({"MANUAL"}), QString::fromStdString(folder.WithSeparator()));
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Backup"));
  ASSERT_NE(form.centralWidget(), nullptr);
  EXPECT_EQ(form.centralWidget()->size(), QSize(600, 383)) << "the client area below the menu bar";
  EXPECT_EQ(form.memSaida->geometry(), QRect(8, 8, 585, 305));
  EXPECT_EQ(form.txtStatus->geometry(), QRect(9, 325, 425, 25));
  EXPECT_EQ(form.Gauge->geometry(), QRect(8, 353, 429, 25));
  EXPECT_EQ(form.txtHora->geometry(), QRect(503, 323, 87, 19));
  EXPECT_EQ(form.btnIniciar->geometry(), QRect(501, 354, 89, 25));
  EXPECT_EQ(form.btnIniciar->text(), QStringLiteral("Iniciar"));
  EXPECT_EQ(form.stbStatus->height(), 19);
  EXPECT_EQ(form.Gauge->MaxValue(), 100);
  EXPECT_EQ(form.Gauge->Progress(), 0);
  EXPECT_TRUE(form.txtStatus->font().bold());
  EXPECT_EQ(form.txtHora->font().pixelSize(), 16);
  EXPECT_FALSE(form.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));

  const auto captions = [](QMenu* menu) {
    QStringList list;
    for (QAction* action : menu->actions())
      list << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return list;
  };
  EXPECT_EQ(form.Opes1->title(), QStringLiteral("Opções"));
  EXPECT_EQ(captions(form.Opes1), (QStringList{"Iniciar com o Windows", "-", "Sair"}));
  EXPECT_EQ(form.mnuInformacoes->title(), QStringLiteral("Ajuda"));
  EXPECT_EQ(captions(form.mnuInformacoes),
            (QStringList{"Suporte Remoto", QStringLiteral("Notas das Versões"), "-", "Sobre"}));
  EXPECT_EQ(captions(form.PopupMenu), (QStringList{"Iniciar com o Windows", "-", "Sair"}));
}

TEST_F(StartupTest, SairAndTheCloseButtonCloseTheWindowAndRemoveTheIcon) {
  folder.Write("sistema.ini", "[Dados]\nDir=srv:/db.fdb\n");
  app::TfrmBackup automatic(Args({}), QString::fromStdString(folder.WithSeparator()));
  automatic.show();
  automatic.popSair->trigger();
  EXPECT_FALSE(automatic.isVisible());
  EXPECT_FALSE(automatic.RxTrayIcon->Active());

  app::TfrmBackup manual(Args({"MANUAL"}), QString::fromStdString(folder.WithSeparator()));
  manual.show();
  EXPECT_TRUE(manual.close());
  EXPECT_FALSE(manual.isVisible());
}

TEST(StandardErrorBox, AppendsAFullStopAfterCharactersAboveIt) {
  EXPECT_EQ(app::StandardErrorText("Server Name Missing"), QStringLiteral("Server Name Missing."));
  EXPECT_EQ(app::StandardErrorText("I/O error 13"), QStringLiteral("I/O error 13."));
  EXPECT_EQ(app::StandardErrorText("j\xE1 terminou."), QStringLiteral("já terminou."));
  EXPECT_EQ(app::StandardErrorText("pergunta?"), QStringLiteral("pergunta?."));
  EXPECT_EQ(app::StandardErrorText("fim!"), QStringLiteral("fim!")) << "'!' is below '.'";
  EXPECT_EQ(app::StandardErrorText("linha\r\n"), QStringLiteral("linha\r\n"));
  EXPECT_EQ(app::StandardErrorText(""), QString());
  EXPECT_EQ(app::StandardErrorText("Conex\xE3o"), QStringLiteral("Conexão."));
}

TEST(StandardErrorBox, GuardedShowsEscapingErrorsAndSwallowsTheSilentAbort) {
  FakePlatform platform;
  app::Guarded([] { throw std::runtime_error("Falhou"); });
  app::Guarded([] { throw app::SilentAbort(); });
  ASSERT_EQ(platform.boxes.size(), 1u);
  EXPECT_EQ(platform.boxes[0].kind, app::MessageBoxKind::StandardError);
  EXPECT_EQ(platform.boxes[0].text, QStringLiteral("Falhou."));
}

}  // namespace
}  // namespace testsupport
