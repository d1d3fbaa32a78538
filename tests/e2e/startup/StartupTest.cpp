#include <gtest/gtest.h>

#include <thread>

#include "tests/e2e/support/Desktop.h"

namespace testsupport {
namespace {
using namespace std::chrono_literals;

TEST(StartupEndToEnd, MissingSettingsFileShowsTheErrorBoxThenEndsWithCodeZero) {
  XDisplay display;
  ProgramFolder folder;  // no sistema.ini
  RunningProgram program(display, folder, {"MANUAL"});
  const std::string box = display.WaitForWindow("^Error$");
  ASSERT_FALSE(box.empty()) << program.Output();
  display.Screenshot(SCREENSHOT_DIR "/missing-ini-box.png");
  EXPECT_TRUE(display.FindWindows("^Backup$").empty()) << "no window may show before the box is closed";
  EXPECT_TRUE(program.Running());
  display.Key(box, "Return");
  EXPECT_EQ(program.WaitForExit(30s), 0);
  EXPECT_TRUE(display.FindWindows("^Backup$").empty());
}

TEST(StartupEndToEnd, EmptyLocationCountsAsMissing) {
  XDisplay display;
  ProgramFolder folder;
  folder.WriteIni("[dados]\r\ndir=\r\n[Backup]\r\nSistema=Linux\r\n");
  RunningProgram program(display, folder, {});
  const std::string box = display.WaitForWindow("^Error$");
  ASSERT_FALSE(box.empty()) << program.Output();
  display.Key(box, "Return");
  EXPECT_EQ(program.WaitForExit(30s), 0);
}

TEST(StartupEndToEnd, ManualModeShowsTheWindowAndSairEndsTheProgram) {
  XDisplay display;
  ProgramFolder folder;
  folder.WriteIni("localhost/1:/nowhere/app.fdb", "");
  RunningProgram program(display, folder, {"manual"});
  const std::string window = display.WaitForWindow("^Backup$");
  ASSERT_FALSE(window.empty()) << program.Output();
  const auto geometry = display.GeometryOf(window);
  EXPECT_EQ(geometry.width, 600);
  display.Screenshot(SCREENSHOT_DIR "/manual-window.png");
  // "Opções" is the first menu of the bar; the last item of its menu is "Sair".
  display.ClickWindow(window, 25, 8);
  std::this_thread::sleep_for(300ms);
  display.Key(window, "Up");
  display.Key(window, "Return");
  EXPECT_EQ(program.WaitForExit(30s), 0) << program.Output();
}

TEST(StartupEndToEnd, AutomaticModeMapsNoWindowAndPutsItsIconInTheTray) {
  XDisplay display(/*withTray=*/true);
  ProgramFolder folder;
  folder.WriteIni("localhost/1:/nowhere/app.fdb", "Linux");
  const auto before = display.Children(display.TrayWindow()).size();
  RunningProgram program(display, folder, {});
  const auto deadline = std::chrono::steady_clock::now() + 15s;
  while (display.Children(display.TrayWindow()).size() <= before &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(100ms);
  }
  EXPECT_GT(display.Children(display.TrayWindow()).size(), before) << program.Output();
  EXPECT_TRUE(display.FindWindows("^Backup$").empty());
  EXPECT_TRUE(program.Running());
  display.Screenshot(SCREENSHOT_DIR "/automatic-tray.png");
}

// The run mode comes from the program's own first argument, before the toolkit takes its options away.
struct ModeCase {
  const char* name;
  std::vector<std::string> arguments;
  bool manual;
};

void PrintTo(const ModeCase& value, std::ostream* out) {
  *out << value.name;
}

class RunModeEndToEnd : public ::testing::TestWithParam<ModeCase> {};

TEST_P(RunModeEndToEnd, ComesFromTheFirstArgumentAsGiven) {
  XDisplay display(/*withTray=*/true);
  ProgramFolder folder;
  folder.WriteIni("localhost/1:/nowhere/app.fdb", "Linux");
  const auto before = display.Children(display.TrayWindow()).size();
  RunningProgram program(display, folder, GetParam().arguments);
  if (GetParam().manual) {
    EXPECT_FALSE(display.WaitForWindow("^Backup$").empty()) << program.Output();
    return;
  }
  // Automatic mode: the icon comes to the tray and the window is never mapped.
  const auto deadline = std::chrono::steady_clock::now() + 15s;
  while (display.Children(display.TrayWindow()).size() <= before &&
         std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(100ms);
  EXPECT_GT(display.Children(display.TrayWindow()).size(), before) << program.Output();
  EXPECT_TRUE(display.FindWindows("^Backup$").empty());
  EXPECT_TRUE(program.Running());
}

INSTANTIATE_TEST_SUITE_P(
    ToolkitOptions, RunModeEndToEnd,
    ::testing::Values(ModeCase{"StyleBeforeManual", {"-style", "fusion", "MANUAL"}, false},
                      ModeCase{"ReverseBeforeManual", {"-reverse", "MANUAL"}, false},
                      ModeCase{"ManualBeforeReverse", {"MANUAL", "-reverse"}, true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace testsupport
