#include "app/ShellOpen.h"

#include "app/DesktopSystem.h"

namespace app {

QString ResolveShellFile(const QString& file) {
  return QString::fromStdString(Desktop().ResolveProgram(file.toStdString()));
}

bool ShellOpen(const QString& file) {
  const std::string program = Desktop().ResolveProgram(file.toStdString());
  return !program.empty() && Desktop().LaunchDetached(program);
}

}  // namespace app
