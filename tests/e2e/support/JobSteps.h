#pragma once

#include <chrono>
#include <filesystem>
#include <string>

#include "tests/e2e/support/Desktop.h"
#include "tests/support/FileBytes.h"

namespace testsupport {

// Waits until the log holds a whole block (one that ends with the line of 68 "-" and an empty line) and
// returns the log; what it holds at the time-out otherwise.
std::string WaitForLogBlock(const std::filesystem::path& log, std::chrono::seconds timeout);

// Where "Iniciar" of the main window is on the screen, in the middle of the button: the button stands at
// 501, 354 (89 x 25) of the client area, which lies between the menu bar and the 19-pixel status bar.
struct ScreenPoint {
  int x = 0;
  int y = 0;
};
ScreenPoint IniciarPoint(const XDisplay& display, const std::string& window);

// Clicks "Iniciar" of the main window.
void ClickIniciar(const XDisplay& display, const std::string& window);

}  // namespace testsupport
