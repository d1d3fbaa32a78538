// Builds the program's application object in a process of its own (a test program holds one already) and
// writes to the file named by its argument what the program relies on that object for, one fact a line.

#include <QAbstractEventDispatcher>
#include <cstdlib>
#include <fstream>
#include <string>

#include "app/desktop/ProgramApplication.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const std::string report = argv[1];
  app::ProgramApplication application(argc, argv);
  const char* variable = std::getenv("QT_NO_GLIB");
  std::ofstream(report) << "name " << QApplication::applicationName().toStdString() << "\n"
                        << "quit on last window closed " << QApplication::quitOnLastWindowClosed() << "\n"
                        << "dispatcher " << QAbstractEventDispatcher::instance()->metaObject()->className()
                        << "\n"
                        << "QT_NO_GLIB "
                        << (variable != nullptr ? "\"" + std::string(variable) + "\"" : "unset") << "\n";
  return 0;
}
