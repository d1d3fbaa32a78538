// Ending the program: "Sair", the close button and the termination signals, idle and while a job runs.
// A job pumps messages after every output line, so an exit can be asked for inside it; the job must
// finish and log its block with the window and the tray icon still there.

#include <gtest/gtest.h>
#include <signal.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

#include "app/desktop/SignalWatcher.h"
#include "app/desktop/TRxTrayIcon.h"
#include "app/widgets/OutputView.h"
#include "app/window/TfrmBackup.h"
#include "platform/Machine.h"
#include "tests/app/support/FakePlatform.h"
#include "tests/app/support/StartWindow.h"
#include "tests/fakes/FakeServer.h"
#include "tests/support/FileBytes.h"
#include "tests/support/LogBlock.h"
#include "tests/support/TempFolder.h"

namespace testsupport {
namespace {
namespace fs = std::filesystem;

// The three signals blocked in this thread as the program's main() blocks them; whatever is still
// pending is taken and the mask put back afterwards.
class BlockedTerminationSignals {
 public:
  BlockedTerminationSignals() {
    sigemptyset(&set_);
    for (int number : {SIGTERM, SIGINT, SIGHUP})
      sigaddset(&set_, number);
    pthread_sigmask(SIG_SETMASK, nullptr, &previous_);
    platform::BlockTerminationSignals();
  }
  ~BlockedTerminationSignals() {
    const timespec none = {0, 0};
    while (sigtimedwait(&set_, nullptr, &none) > 0) {
    }
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
  }

 private:
  sigset_t set_;
  sigset_t previous_;
};

// Pumps messages until the condition holds; false if it never does within the bound.
bool PumpUntil(const std::function<bool()>& condition) {
  QElapsedTimer waited;
  waited.start();
  while (!condition() && waited.elapsed() < 10000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  return condition();
}

TEST(TerminationSignals, ReachTheLoopInTheOrderRaisedAndNoHandlerOfAnyoneRuns) {
  const BlockedTerminationSignals blocked;
  // What the client library does when it is loaded: handlers of its own for TERM and INT.
  static int handled = 0;
  struct sigaction library = {};
  struct sigaction previousTerm = {};
  struct sigaction previousInt = {};
  library.sa_handler = [](int) { ++handled; };
  sigaction(SIGTERM, &library, &previousTerm);
  sigaction(SIGINT, &library, &previousInt);

  std::vector<int> received;
  app::SignalWatcher watcher(platform::MachineTerminationSignals());
  ASSERT_TRUE(watcher.Watching());
  watcher.OnSignal = [&](int number) { received.push_back(number); };
  raise(SIGHUP);
  raise(SIGTERM);
  raise(SIGINT);
  EXPECT_TRUE(PumpUntil([&] { return received.size() == 3; }));
  // Standard signals pending together are delivered lowest number first.
  EXPECT_EQ(received, (std::vector<int>{SIGHUP, SIGINT, SIGTERM}));
  EXPECT_EQ(handled, 0);

  watcher.OnSignal = [](int) { throw std::runtime_error("Falhou"); };
  FakePlatform platform;
  raise(SIGTERM);
  EXPECT_TRUE(PumpUntil([&] { return !platform.boxes.empty(); }))
      << "an error stays on this side of the loop";

  sigaction(SIGTERM, &previousTerm, nullptr);
  sigaction(SIGINT, &previousInt, nullptr);
}

TEST(TerminationSignals, RestoringGivesAChildTheDefaultActionAndNoBlock) {
  const BlockedTerminationSignals blocked;
  struct sigaction ignore = {};
  struct sigaction previous = {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGHUP, &ignore, &previous);
  platform::RestoreTerminationSignals();
  sigset_t mask;
  pthread_sigmask(SIG_SETMASK, nullptr, &mask);
  struct sigaction now = {};
  sigaction(SIGHUP, nullptr, &now);
  EXPECT_EQ(now.sa_handler, SIG_DFL);
  for (int number : {SIGTERM, SIGINT, SIGHUP})
    EXPECT_FALSE(sigismember(&mask, number)) << number;
  sigaction(SIGHUP, &previous, nullptr);
}

class ExitDuringAJob : public ::testing::Test {
 protected:
  std::unique_ptr<app::TfrmBackup> Start(bool manual) {
    auto form = StartWindow(folder, "localhost:/dados/app.fdb", manual, server);
    form->tmrConexao.stop();
    form->show();
    return form;
  }
  // Runs a job as a click the message loop delivers; `during` is called on every message pump of the
  // job's output loop with the number of that pump.
  void RunJob(app::TfrmBackup& form, const std::function<void(int)>& during) {
    // Enough lines for some two hundred pumps: the window pumps every few lines.
    server.backupLines.assign(13000, "gbak: writing data for table DADOS");
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
  fakes::FakeServer server;
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
  EXPECT_TRUE(log.ends_with(kLogBlockEnd)) << log;
}

TEST_F(ExitDuringAJob, TheCloseButtonIsRefusedWhileTheJobRunsAndTakesEffectAfterIt) {
  auto form = Start(true);
  bool refused = false;
  RunJob(*form, [&](int pump) {
    if (pump == 5) refused = !form->close();
  });
  EXPECT_TRUE(refused);
  EXPECT_FALSE(form->isVisible());
  EXPECT_TRUE(Log().ends_with(kLogBlockEnd));
}

TEST_F(ExitDuringAJob, TermDuringTheJobEndsTheProgramAfterItAsSairDoes) {
  const BlockedTerminationSignals blocked;
  auto form = Start(true);
  app::SignalWatcher watcher(platform::MachineTerminationSignals());
  watcher.OnSignal = [&](int) { form->popSairClick(); };
  bool stillUp = false;
  RunJob(*form, [&](int pump) {
    if (pump == 2) raise(SIGTERM);
    if (pump == 50) stillUp = form->isVisible();
  });
  EXPECT_TRUE(stillUp);
  EXPECT_FALSE(form->isVisible());
  EXPECT_TRUE(Log().ends_with(kLogBlockEnd));

  // Idle, the window closes as soon as the loop reads the signal.
  auto idle = Start(true);
  watcher.OnSignal = [&](int) { idle->popSairClick(); };
  raise(SIGTERM);
  EXPECT_TRUE(PumpUntil([&] { return !idle->isVisible(); }));
}

TEST_F(ExitDuringAJob, AnExitAskedForWhileIdleIsNotHeldBack) {
  auto form = Start(true);
  RunJob(*form, [](int) {});
  form->popSair->trigger();
  EXPECT_FALSE(form->isVisible()) << "no job runs: the window closes at once";
}

}  // namespace
}  // namespace testsupport
