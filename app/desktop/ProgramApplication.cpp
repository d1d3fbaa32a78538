#include "app/desktop/ProgramApplication.h"

namespace app {

ProgramApplication::ProgramApplication(int& argc, char** argv)
    : dispatcher_(platform::Machine()), application_(argc, argv) {
  dispatcher_.Forget();
  QApplication::setApplicationName(QStringLiteral("Backup"));
  QApplication::setQuitOnLastWindowClosed(false);
}

}  // namespace app
