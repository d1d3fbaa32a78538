#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/e2e/support/Desktop.h"
#include "tests/support/AppDatabase.h"

namespace testsupport {
namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Waits until the log holds a finished block.
std::string WaitForLogBlock(const fs::path& log, std::chrono::seconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    const std::string text = ReadAll(log);
    if (text.find(std::string(68, '-') + "\r\n\r\n") != std::string::npos) return text;
    std::this_thread::sleep_for(100ms);
  }
  return ReadAll(log);
}

// Where "Iniciar" is on the screen: the button stands at 501, 354 (89 x 25) of the client area, which
// lies between the menu bar and the 19-pixel status bar.
void ClickIniciar(const XDisplay& display, const std::string& window) {
  const auto g = display.GeometryOf(window);
  display.Click(g.x + 545, g.y + g.height - 19 - 383 + 366);
}

TEST(JobEndToEnd, ClickOnIniciarWritesTheBackupAndTheLog) {
  FirebirdServer& server = FirebirdServer::Shared();
  const auto database = CreateAppDatabase(server, "E2E_MANUAL");
  XDisplay display;
  ProgramFolder folder;
  folder.WriteIni(server.Location(database), "Linux");
  RunningProgram program(display, folder, {"MANUAL"});
  const std::string window = display.WaitForWindow("^Backup$");
  ASSERT_FALSE(window.empty()) << program.Output();
  std::this_thread::sleep_for(1500ms);  // the settings row is read a second after start
  ClickIniciar(display, window);
  const std::string log = WaitForLogBlock(folder.Path() / "backup" / "backup.txt", 120s);
  display.Screenshot(SCREENSHOT_DIR "/job-manual-done.png");
  EXPECT_NE(log.find("Backup conclu\xED"
                     "do.\r\n"),
            std::string::npos)
      << log << program.Output();
  EXPECT_NE(log.find("gbak:"), std::string::npos) << "manual mode logs the server's lines";
  int backups = 0;
  for (const auto& entry : fs::directory_iterator(folder.Path() / "backup")) {
    backups +=
        entry.path().extension() == ".gbk" && entry.path().filename().string().starts_with("E2E_MANUAL_");
  }
  EXPECT_EQ(backups, 1);
  EXPECT_TRUE(program.Running());
}

}  // namespace
}  // namespace testsupport
