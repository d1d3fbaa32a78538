#pragma once

#include <chrono>
#include <filesystem>
#include <string>

#include "tests/e2e/support/Desktop.h"
#include "tests/support/FileBytes.h"
#include "tests/support/FirebirdServer.h"

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

// The program started in manual mode on a display, from a program folder whose sistema.ini names a
// database of the server, on Linux.
struct ManualRun {
  ManualRun(const XDisplay& display, const FirebirdServer& server, const std::filesystem::path& database);

  // Waits for the main window, then until the program has read its settings row (it has detached from
  // the database, made with recordDisconnects); the window, or empty when either did not come in a minute.
  std::string WaitUntilReady() const;

  const XDisplay& display;
  const FirebirdServer& server;
  const std::filesystem::path database;
  ProgramFolder folder;
  RunningProgram program;
};

}  // namespace testsupport
