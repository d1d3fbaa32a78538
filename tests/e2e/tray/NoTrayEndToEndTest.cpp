// The real program in automatic mode on a desktop without a notification area, as Debian's GNOME is: no
// tray host on the display, a session bus with a notification server (the tests' own, which records what
// it gets and shows it). Where the test runs as root, the server runs under an account of its own and the
// program, the bus and the notification server under a desktop user's, from a folder with accents.
#include <gtest/gtest.h>

#include <QDateTime>
#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <thread>

#include "tests/e2e/support/Desktop.h"
#include "tests/e2e/support/JobSteps.h"
#include "tests/support/AppDatabase.h"
#include "tests/support/FirebirdServer.h"
#include "tests/support/LogBlock.h"
#include "tests/support/SessionBus.h"
#include "tests/support/TempFolder.h"

namespace testsupport {
namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;

TEST(NoTray, TheProgramSaysItRunsWithoutAnIconAFailedJobIsNotifiedAndTheMenuEntryShowsItsWindow) {
  const std::optional<Account> user = RunningAsRoot() ? std::optional(DesktopAccount()) : std::nullopt;
  const auto server =
      user ? std::make_unique<FirebirdServer>(ServerAccount()) : std::make_unique<FirebirdServer>();
  // The one schedule time lies at least 40 seconds ahead: the settings are read long before it.
  QDateTime now = QDateTime::currentDateTime();
  if (now.time().second() > 20) now = now.addSecs(60);
  AppDatabaseOptions options;
  options.row->time1 = now.addSecs(60).toString("hh:mm").toStdString();
  options.recordDisconnects = true;
  const fs::path database = CreateAppDatabase(*server, "NO_TRAY", options);

  TempFolder parent;
  fs::permissions(parent.Path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                     fs::perms::others_read | fs::perms::others_exec);
  ProgramFolder folder(parent.Path(),
                       "C\xC3\xB3pia de Seguran\xC3\xA7"
                       "a",
                       user);
  folder.WriteIni("[Dados]\r\nDir=" + server->Location(database) + "\r\n[Backup]\r\nSistema=Linux\r\n" +
                  "MostrarEstado=1\r\nContaServidor=" + std::to_string(ServerAccount().uid) + "\r\n");
  XDisplay display;
  SessionBus bus(user);
  NotificationServer notifications(bus, display.ClientEnvironment());
  const auto start = [&](const std::vector<std::string>& arguments) {
    return user ? std::make_unique<RunningProgram>(display, folder, arguments, *user,
                                                   std::vector<std::string>{bus.ClientVariable()})
                : std::make_unique<RunningProgram>(display, folder, arguments,
                                                   std::vector<std::string>{bus.ClientVariable()});
  };
  const auto automatic = start({});

  // Said once, at the start: the program runs without an icon, and where its window is.
  auto received = notifications.WaitFor(1, 60s);
  ASSERT_EQ(received.size(), 1u) << automatic->Output();
  EXPECT_TRUE(
      received[0].body.starts_with("Esta \xC3\xA1rea de trabalho n\xC3\xA3o mostra \xC3\xAD"
                                   "cones"))
      << received[0].body;
  EXPECT_EQ(received[0].urgency, 1);

  // The server is gone when the time comes: the job fails, and the failure comes as a critical
  // notification with the program's entry and picture.
  ASSERT_TRUE(WaitForDisconnect(*server, database, automatic->Pid(), 90s))
      << "the settings row was never read";
  server->Stop();
  const std::string log = WaitForLogBlock(folder.Path() / "backup" / "backup.txt", 150s);
  EXPECT_NE(log.find("Ocorreu um erro inesperado. O backup n\xE3o foi conclu\xED"
                     "do.\r\n"),
            std::string::npos)
      << log << automatic->Output();
  received = notifications.WaitFor(2, 60s);
  ASSERT_EQ(received.size(), 2u) << automatic->Output();
  EXPECT_EQ(received[1].appName, "Kelmora Backup");
  EXPECT_TRUE(received[1].body.starts_with("O backup de ")) << received[1].body;
  EXPECT_NE(received[1].body.find("n\xC3\xA3o foi conclu\xC3\xAD"
                                  "do.\nUnable to complete network request"),
            std::string::npos)
      << received[1].body;
  EXPECT_EQ(received[1].urgency, 2);
  EXPECT_EQ(received[1].desktopEntry, "kelmora-backup");
  EXPECT_EQ(received[1].imageWidth, 32);
  EXPECT_TRUE(display.FindWindows("^Backup$").empty()) << "automatic mode starts hidden";

  // The menu entry's command finds the running program and shows its window instead of a second one.
  const auto fromMenu = start({"MANUAL"});
  EXPECT_EQ(fromMenu->WaitForExit(60s), 0) << fromMenu->Output();
  const std::string window = display.WaitForWindow("^Backup$");
  ASSERT_FALSE(window.empty()) << automatic->Output();
  EXPECT_EQ(display.FindWindows("^Backup$").size(), 1u);
  EXPECT_TRUE(automatic->Running());
  // Its menu offers what a tray menu would: "Opções" holds "Iniciar com o Windows" and, last, "Sair".
  display.ClickWindow(window, 25, 8);
  std::this_thread::sleep_for(500ms);
  display.Screenshot(SCREENSHOT_DIR "/no-tray-window.png");
  display.Key(window, "Up");
  display.Key(window, "Return");
  EXPECT_EQ(automatic->WaitForExit(30s), 0) << automatic->Output();
}

}  // namespace
}  // namespace testsupport
