#include "app/desktop/DesktopSystem.h"
#include "app/desktop/ProgramIcon.h"
#include "app/desktop/TRxTrayIcon.h"
#include "app/window/TfrmBackup.h"

namespace app {
namespace {

const QString kTitle = QStringLiteral("Kelmora Backup");

}  // namespace

// Manual mode has no icon: its window shows everything itself.

void TfrmBackup::ShowJobRunning() {
  if (ManualMode()) return;
  RxTrayIcon->SetIcon(ProgramIcon(BackupState::Running));
  RxTrayIcon->SetHint(kTitle + QStringLiteral(" - Realizando o backup"));
}

void TfrmBackup::ShowJobEnded(const QString& started, JobEnd end, const QString& problem) {
  if (ManualMode()) return;
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
  Desktop().Notify(*RxTrayIcon, kTitle, problem.isEmpty() ? what : what + QLatin1Char('\n') + problem);
}

void TfrmBackup::ShowSettingsProblem(const QString& problem) {
  if (ManualMode()) return;
  RxTrayIcon->SetIcon(ProgramIcon(BackupState::Failed));
  RxTrayIcon->SetHint(kTitle + QStringLiteral(" - Sem horários de backup"));
  Desktop().Notify(*RxTrayIcon, kTitle, problem);
}

}  // namespace app
