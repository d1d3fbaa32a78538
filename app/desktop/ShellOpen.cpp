#include "app/desktop/ShellOpen.h"

#include "app/desktop/DesktopSystem.h"

namespace app {

QString ResolveShellFile(const QString& file) {
  return QString::fromStdString(Desktop().ResolveProgram(file.toStdString()));
}

bool ShellOpen(const QString& file) {
  const std::string program = Desktop().ResolveProgram(file.toStdString());
  return !program.empty() && Desktop().LaunchDetached(program);
}

}  // namespace app
