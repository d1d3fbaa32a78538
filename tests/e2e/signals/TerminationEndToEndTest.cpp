// TERM, INT and HUP end the real program as "Sair" does: a running job finishes and writes its whole log
// block first, and the exit code is 0. Each case waits until the program has read its settings row, so
// that the Firebird client library is loaded on both of its sides and has installed its own TERM and INT
// handlers, as it does in every real run.

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <thread>

#include "tests/e2e/support/Desktop.h"
#include "tests/e2e/support/JobSteps.h"
#include "tests/support/AppDatabase.h"
#include "tests/support/LogBlock.h"

namespace testsupport {
namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;

size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
    ++count;
  return count;
}

fs::path IdleDatabase(const FirebirdServer& server, const std::string& name) {
  AppDatabaseOptions options;
  options.recordDisconnects = true;
  return CreateAppDatabase(server, name, options);
}

struct IdleCase {
  const char* name;
  int signalNumber;
  bool manual;  // manual mode runs one job first; automatic mode waits in the tray with no job run
};

// Names the case in test output instead of its bytes.
void PrintTo(const IdleCase& value, std::ostream* out) {
  *out << value.name;
}

class TerminationWhileIdle : public ::testing::TestWithParam<IdleCase> {};

TEST_P(TerminationWhileIdle, EndsTheProgramWithExitCodeZeroAndLeavesTheLogWhole) {
  const IdleCase& idle = GetParam();
  FirebirdServer& server = FirebirdServer::Shared();
  const fs::path database = IdleDatabase(server, std::string("IDLE_") + idle.name);
  XDisplay display(/*withTray=*/!idle.manual);
  ProgramFolder folder;
  folder.WriteIni(server.Location(database), "Linux");
  RunningProgram program(display, folder,
                         idle.manual ? std::vector<std::string>{"MANUAL"} : std::vector<std::string>{});
  ASSERT_TRUE(WaitForDisconnect(server, database, program.Pid(), 60s)) << program.Output();
  const fs::path log = folder.Path() / "backup" / "backup.txt";
  std::string before;
  if (idle.manual) {
    const std::string window = display.WaitForWindow("^Backup$");
    ASSERT_FALSE(window.empty()) << program.Output();
    ClickIniciar(display, window);
    before = WaitForLogBlock(log, 120s);
    ASSERT_NE(before.find(kBackupDone), std::string::npos) << before << program.Output();
  }
  ASSERT_TRUE(program.Running()) << program.Output();

  program.Signal(idle.signalNumber);
  EXPECT_EQ(program.WaitForExit(30s), 0) << program.Output();
  EXPECT_EQ(ReadAll(log), before) << "nothing more is written, and nothing is cut";
  if (idle.manual) {
    EXPECT_TRUE(before.ends_with(kLogBlockEnd));
  }
}

INSTANTIATE_TEST_SUITE_P(Signals, TerminationWhileIdle,
                         ::testing::Values(IdleCase{"TermAfterAJob", SIGTERM, true},
                                           IdleCase{"IntAfterAJob", SIGINT, true},
                                           IdleCase{"HupInTheTray", SIGHUP, false},
                                           IdleCase{"TermInTheTray", SIGTERM, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TerminationDuringAJob, TheJobFinishesAndLogsItsWholeBlockThenTheProgramEndsWithCodeZero) {
  FirebirdServer server;
  const fs::path database = IdleDatabase(server, "DURING_JOB");
  XDisplay display;
  ManualRun run(display, server, database);
  const std::string window = run.WaitUntilReady();
  ASSERT_FALSE(window.empty()) << run.program.Output();

  // With the server stopped where it stands, the job that "Iniciar" starts opens its log and then waits
  // for the server's answer to its attach: TERM arrives while the job is certainly running.
  server.Pause();
  ClickIniciar(display, window);
  const fs::path log = run.folder.Path() / "backup" / "backup.txt";
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  while (!fs::exists(log) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(50ms);
  ASSERT_TRUE(fs::exists(log)) << "the job did not start" << run.program.Output();
  run.program.Signal(SIGTERM);
  EXPECT_FALSE(run.program.WaitForExit(1s).has_value()) << "ended before its job could finish";
  server.Resume();

  EXPECT_EQ(run.program.WaitForExit(120s), 0) << run.program.Output();
  const std::string text = ReadAll(log);
  EXPECT_NE(text.find(kBackupDone), std::string::npos) << text;
  EXPECT_EQ(Count(text, kLogBlockEnd), 1u) << text;
  EXPECT_TRUE(text.ends_with(kLogBlockEnd)) << text;
  int backups = 0;
  for (const auto& entry : fs::directory_iterator(run.folder.Path() / "backup"))
    backups += entry.path().extension() == ".gbk";
  EXPECT_EQ(backups, 1);
}

}  // namespace
}  // namespace testsupport
