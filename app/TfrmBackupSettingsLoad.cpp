#include "app/TfrmBackup.h"

namespace app {

void TfrmBackup::tmrConexaoTimer() {
  tmrConexao.stop();
}

void TfrmBackup::IBODatabaseAfterConnect() {}

}  // namespace app
