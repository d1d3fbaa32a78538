#include "app/TfrmBackup.h"

namespace app {

// The commands of the "Opções" and "Ajuda" menus and the tray icon's click.

void TfrmBackup::InitStartupCheckMarks() {}

void TfrmBackup::popIniciarWindowsClick() {}

void TfrmBackup::RxTrayIconClick() {
  showNormal();
  raise();
  activateWindow();
}

void TfrmBackup::Sore1Click() {}

void TfrmBackup::NotasdaVerso1Click() {}

void TfrmBackup::SuporteRemoto1Click() {}

}  // namespace app
