#include <QApplication>
#include <memory>

#include "app/ErrorRoute.h"
#include "app/desktop/DesktopSystem.h"
#include "app/desktop/ProgramApplication.h"
#include "app/desktop/ProgramChannel.h"
#include "app/desktop/SignalWatcher.h"
#include "app/window/RunMode.h"
#include "app/window/TfrmBackup.h"
#include "platform/Machine.h"

int main(int argc, char* argv[]) {
  // Before the application object starts any thread, so that every thread inherits the mask and no
  // handler installed later (the client library's) ever gets these signals.
  platform::BlockTerminationSignals();
  // Before the application object removes its own options from argv.
  const QStringList arguments = app::ProgramArguments(argc, argv);

  app::ProgramApplication application(argc, argv);
  // What the program asks of the system goes through the desktop's answers from here on.
  app::Desktop();
  // An automatic program of this folder that runs where the desktop shows no icons is reached only this
  // way: its window comes up instead of a second program.
  if (app::ShowRunningProgram(app::Desktop().SessionBus(), QApplication::applicationDirPath() + "/"))
    return 0;

  std::unique_ptr<app::TfrmBackup> form;
  app::SignalWatcher terminationSignals(platform::MachineTerminationSignals());
  if (!terminationSignals.Watching()) platform::RestoreTerminationSignals();
  terminationSignals.OnSignal = [&form](int) {
    // The window may still be in its start-up box (no settings file), after which the program ends
    // anyway; nothing is held yet that an end now could cut short.
    if (!form) app::Desktop().EndProcess(0);
    form->popSairClick();
  };

  bool created = false;
  app::Guarded([&] {
    form = std::make_unique<app::TfrmBackup>(arguments, QApplication::applicationDirPath() + "/");
    created = true;
  });
  if (!created) return 1;
  if (form->ManualMode()) form->show();
  return QApplication::exec();
}
