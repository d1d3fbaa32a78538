#include "app/TfrmBackup.h"

namespace app {

void TfrmBackup::btnIniciarClick() {}

}  // namespace app
