#include "tests/e2e/support/JobSteps.h"

#include <fstream>
#include <sstream>
#include <thread>

#include "tests/support/AppDatabase.h"

namespace testsupport {

std::string WaitForLogBlock(const std::filesystem::path& log, std::chrono::seconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    const std::string text = ReadAll(log);
    if (text.find(std::string(68, '-') + "\r\n\r\n") != std::string::npos) return text;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return ReadAll(log);
}

ScreenPoint IniciarPoint(const XDisplay& display, const std::string& window) {
  const auto g = display.GeometryOf(window);
  return {g.x + 545, g.y + g.height - 19 - 383 + 366};
}

void ClickIniciar(const XDisplay& display, const std::string& window) {
  const ScreenPoint point = IniciarPoint(display, window);
  display.Click(point.x, point.y);
}

namespace {

const ProgramFolder& WithIni(const ProgramFolder& folder, const std::string& location) {
  folder.WriteIni(location, "Linux");
  return folder;
}

}  // namespace

ManualRun::ManualRun(const XDisplay& display, const FirebirdServer& server,
                     const std::filesystem::path& database)
    : display(display),
      server(server),
      database(database),
      program(display, WithIni(folder, server.Location(database)), {"MANUAL"}) {}

std::string ManualRun::WaitUntilReady() const {
  const std::string window = display.WaitForWindow("^Backup$");
  if (window.empty()) return window;
  if (!WaitForDisconnect(server, database, program.Pid(), std::chrono::seconds(60))) return {};
  return window;
}

}  // namespace testsupport
