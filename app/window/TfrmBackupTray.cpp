#include "app/desktop/DesktopSystem.h"
#include "app/desktop/ProgramIcon.h"
#include "app/desktop/TRxTrayIcon.h"
#include "app/window/TfrmBackup.h"

namespace app {
namespace {

const QString kTitle = QStringLiteral("Kelmora Backup");

}  // namespace

// The icon keeps the program's picture and the hint "Kelmora Backup", and nothing is notified, unless the
// administrator asks for the state of the backups (MostrarEstado). Manual mode has no icon: its window
// shows everything itself.

bool TfrmBackup::ShowsBackupState() const {
  return !ManualMode() && settings_.showBackupState;
}

void TfrmBackup::ShowJobRunning() {
  if (!ShowsBackupState()) return;
  RxTrayIcon->SetIcon(ProgramIcon(BackupState::Running));
  RxTrayIcon->SetHint(kTitle + QStringLiteral(" - Realizando o backup"));
}

void TfrmBackup::ShowJobEnded(const QString& started, JobEnd end, const QString& problem) {
  if (!ShowsBackupState()) return;
  const bool succeeded = end == JobEnd::Succeeded;
  const bool failed = end == JobEnd::Failed;
  RxTrayIcon->SetIcon(ProgramIcon(succeeded ? BackupState::Succeeded : BackupState::Failed));
  RxTrayIcon->SetHint(kTitle + QStringLiteral(" - Último backup: ") + started +
                      (succeeded ? QStringLiteral(" concluído")
                       : failed  ? QStringLiteral(" falhou")
                                 : QStringLiteral(" sem cópia")));
  if (succeeded) return;
  const QString what = failed ? QStringLiteral("O backup de %1 não foi concluído.").arg(started)
                              : QStringLiteral("O backup de %1 foi concluído.").arg(started);
  // Through the desktop's notification server: an unattended failure must reach a person also where no
  // notification area shows the icon.
  Desktop().Notify(kTitle, problem.isEmpty() ? what : what + QLatin1Char('\n') + problem,
                   NotificationUrgency::Critical);
}

void TfrmBackup::ShowSettingsProblem(const QString& problem) {
  if (!ShowsBackupState()) return;
  RxTrayIcon->SetIcon(ProgramIcon(BackupState::Failed));
  RxTrayIcon->SetHint(kTitle + QStringLiteral(" - Sem horários de backup"));
  Desktop().Notify(kTitle, problem, NotificationUrgency::Critical);
}

void TfrmBackup::ShowRunningWithoutTray() {
  // Where the desktop shows no icons the program would run unseen, and the menu entry is the one way to
  // its window: said once, whatever the settings ask for.
  Desktop().Notify(kTitle,
                   QStringLiteral("Esta área de trabalho não mostra ícones na área de notificação: o backup "
                                  "automático continua em execução sem ícone. Para ver a janela, abra "
                                  "\"Kelmora Backup\" no menu de aplicativos."),
                   NotificationUrgency::Normal);
}

}  // namespace app
