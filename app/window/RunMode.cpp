#include "app/window/RunMode.h"

namespace app {

bool IsManualMode(const QStringList& arguments) {
  if (arguments.size() < 2) return false;
  QString first = arguments.at(1);
  for (QChar& c : first) {
    if (c >= QLatin1Char('a') && c <= QLatin1Char('z')) c = QChar(c.unicode() - 'a' + 'A');
  }
  return first == QLatin1String("MANUAL");
}

QStringList ProgramArguments(int argc, const char* const* argv) {
  QStringList arguments;
  for (int i = 0; i < argc && argv[i] != nullptr; ++i)
    arguments << QString::fromLocal8Bit(argv[i]);
  return arguments;
}

}  // namespace app
