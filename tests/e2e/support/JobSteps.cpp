#include "tests/e2e/support/JobSteps.h"

#include <fstream>
#include <sstream>
#include <thread>

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

}  // namespace testsupport
