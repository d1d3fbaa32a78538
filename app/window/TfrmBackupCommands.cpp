#include <QAction>
#include <QString>

#include "app/desktop/DesktopSystem.h"
#include "app/desktop/ShellOpen.h"
#include "app/desktop/TfrmNotas.h"
#include "app/desktop/TfrmSplash.h"
#include "app/window/RunValues.h"
#include "app/window/TfrmBackup.h"

namespace app {
namespace {

// The start-up check and the toggle have always used different names: an entry made by the toggle does
// not set the check marks at the next start, one called "Kelmora Backup" does.
const std::string kStartupRunValue = "Kelmora Backup";
const std::string kToggleRunValue = "Backup Kelmora";

// The registered command: the program's fixed file name, whatever the running copy is called.
const std::string kRegisteredProgram = BACKUP_EXECUTABLE_NAME;

}  // namespace

// The commands of the "Opções" and "Ajuda" menus and the tray icon's click.

void TfrmBackup::InitStartupCheckMarks() {
  iniciarWindowsChecked_ = HasRunValue(kStartupRunValue);
  mnuIniciarWindows->setChecked(iniciarWindowsChecked_);
  popIniciarWindows->setChecked(iniciarWindowsChecked_);
}

void TfrmBackup::popIniciarWindowsClick() {
  const bool previous = iniciarWindowsChecked_;
  // The item that was clicked has already flipped itself; until the entry is written it must show the
  // old state, which is also what stays when writing fails.
  mnuIniciarWindows->setChecked(previous);
  popIniciarWindows->setChecked(previous);

  if (HasRunValue(kToggleRunValue)) {
    DeleteRunValue(kToggleRunValue);
  } else {
    WriteRunValue(kToggleRunValue, settings_.programFolder + kRegisteredProgram, false);
  }

  // The new state is the inverse of the old mark, not a reading of the folder: a deletion that could
  // not be done still flips it.
  iniciarWindowsChecked_ = !previous;
  mnuIniciarWindows->setChecked(iniciarWindowsChecked_);
  popIniciarWindows->setChecked(iniciarWindowsChecked_);
  ShowMessage(MessageBoxKind::Information, QStringLiteral("Backup do Kelmora configurado para ") +
                                               (iniciarWindowsChecked_ ? QString() : QStringLiteral("NÃO ")) +
                                               QStringLiteral("INICIAR neste computador."));
}

void TfrmBackup::RxTrayIconClick() {
  showNormal();
  raise();
  activateWindow();
}

void TfrmBackup::Sore1Click() {
  // Each use makes a new window; the main window owns it until the program ends.
  auto* splash = new TfrmSplash(this);
  splash->tmrClose.start();
  Desktop().ExecModal(*splash);
}

void TfrmBackup::NotasdaVerso1Click() {
  auto* notes = new TfrmNotas(this);
  Desktop().ExecModal(*notes);
}

void TfrmBackup::SuporteRemoto1Click() {
  // Whether it started is not examined: without the remote-support program the command does nothing.
  ShellOpen(QStringLiteral("remoto.exe"));
}

}  // namespace app
