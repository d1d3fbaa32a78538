#include <QApplication>
#include <memory>

#include "app/ErrorRoute.h"
#include "app/RunMode.h"
#include "app/TfrmBackup.h"

int main(int argc, char* argv[]) {
  // Before the application object removes its own options from argv.
  const QStringList arguments = app::ProgramArguments(argc, argv);

  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Backup"));
  // The main window decides when the program ends; boxes and other windows closing while it is
  // hidden (automatic mode) must not end it.
  QApplication::setQuitOnLastWindowClosed(false);

  std::unique_ptr<app::TfrmBackup> form;
  bool created = false;
  app::Guarded([&] {
    form = std::make_unique<app::TfrmBackup>(arguments, QApplication::applicationDirPath() + "/");
    created = true;
  });
  if (!created) return 1;
  if (form->ManualMode()) form->show();
  return QApplication::exec();
}
