#include "app/desktop/ProgramApplication.h"

#include "platform/Machine.h"

namespace app {

ProgramApplication::ProgramApplication(int& argc, char** argv)
    : environment_(platform::MachineEnvironment()), dispatcher_(*environment_), application_(argc, argv) {
  dispatcher_.Forget();
  QApplication::setApplicationName(QStringLiteral("Backup"));
  QApplication::setQuitOnLastWindowClosed(false);
}

}  // namespace app
