// Ending the program: "Sair" and the close button, idle and while a job runs.
// A job pumps messages after every output line, so an exit can be asked for inside it; the job must
// finish and log its block with the window and the tray icon still there.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>

#include "app/OutputView.h"
#include "app/TRxTrayIcon.h"
#include "app/TfrmBackup.h"
#include "fbclient/ClientLibrary.h"
#include "tests/app/support/FakePlatform.h"
#include "tests/app/support/TempFolder.h"
#include "tests/double/DoubleLoader.h"

namespace testsupport {
namespace {
namespace fs = std::filesystem;

const std::string kBlockEnd = std::string(68, '-') + "\r\n\r\n";

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class ExitDuringAJob : public ::testing::Test {
 protected:
  void SetUp() override {
    fbclient::UnloadClientLibrary();
    fbclient::SetClientLibraryFileName(fbdouble::VariantPath("full"));
    control = &fbdouble::LoadVariant("full");
    control->SetForwarding(false);
  }
  void TearDown() override {
    fbclient::UnloadClientLibrary();
    fbclient::SetClientLibraryFileName("libfbclient.so.2");
  }
  std::unique_ptr<app::TfrmBackup> Start(bool manual) {
    folder.Write("sistema.ini", "[Dados]\r\nDir=localhost:/dados/app.fdb\r\n[Backup]\r\nSistema=Linux\r\n");
    QStringList arguments{QStringLiteral("backup")};
    if (manual) arguments << QStringLiteral("MANUAL");
    auto form = std::make_unique<app::TfrmBackup>(arguments, QString::fromStdString(folder.WithSeparator()));
    form->tmrConexao.stop();
    form->show();
    return form;
  }
  // Runs a job as a click the message loop delivers; `during` is called on every message pump of the
  // job's output loop with the number of that pump.
  void RunJob(app::TfrmBackup& form, const std::function<void(int)>& during) {
    control->ReplayServiceLines(200, "gbak: writing data for table DADOS");
    int pump = 0;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
      if (form.JobRunning()) during(++pump);
    });
    user.start(0);
    form.btnIniciar->click();
    user.stop();
  }
  std::string Log() const { return ReadAll(folder.Path() / "backup" / "backup.txt"); }

  FakePlatform platform;
  TempFolder folder;
  fbdouble::Control* control = nullptr;
};

TEST_F(ExitDuringAJob, SairWaitsWithTheWindowAndTheIconUpUntilTheJobReturnsThenEnds) {
  auto form = Start(false);
  int upAfterSair = 0;
  RunJob(*form, [&](int pump) {
    if (pump == 3) form->popSair->trigger();
    if (pump > 3) upAfterSair += form->isVisible() && form->RxTrayIcon->Active();
  });
  EXPECT_GT(upAfterSair, 100) << "every later pump of the job still shows both";
  EXPECT_FALSE(form->isVisible());
  EXPECT_FALSE(form->RxTrayIcon->Active());
  const std::string log = Log();
  EXPECT_NE(log.find("Backup conclu\xED"
                     "do."),
            std::string::npos)
      << log;
  EXPECT_TRUE(log.ends_with(kBlockEnd)) << log;
}

TEST_F(ExitDuringAJob, TheCloseButtonIsRefusedWhileTheJobRunsAndTakesEffectAfterIt) {
  auto form = Start(true);
  bool refused = false;
  RunJob(*form, [&](int pump) {
    if (pump == 5) refused = !form->close();
  });
  EXPECT_TRUE(refused);
  EXPECT_FALSE(form->isVisible());
  EXPECT_TRUE(Log().ends_with(kBlockEnd));
}

TEST_F(ExitDuringAJob, AnExitAskedForWhileIdleIsNotHeldBack) {
  auto form = Start(true);
  RunJob(*form, [](int) {});
  form->popSair->trigger();
  EXPECT_FALSE(form->isVisible()) << "no job runs: the window closes at once";
}

}  // namespace
}  // namespace testsupport
