#pragma once

#include <QApplication>
#include <memory>

#include "app/desktop/EventDispatcherChoice.h"
#include "platform/Environment.h"

namespace app {

// The application object as the program runs it: on Qt's own message loop (see EventDispatcherChoice),
// named "Backup", and ended by the main window rather than by its last window closing, since boxes and
// other windows close while the main window is hidden in automatic mode. The benchmarks build theirs
// the same way, so that they measure the program's own message pump.
class ProgramApplication {
 public:
  ProgramApplication(int& argc, char** argv);

  QApplication& Application() { return application_; }

 private:
  std::unique_ptr<platform::Environment> environment_;
  EventDispatcherChoice dispatcher_;
  QApplication application_;
};

}  // namespace app
