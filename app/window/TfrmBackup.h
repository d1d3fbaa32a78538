#pragma once

#include <QMainWindow>
#include <QStringList>
#include <QTimer>
#include <memory>

#include "core/BackupSettings.h"
#include "core/JobObserver.h"
#include "core/Scheduler.h"
#include "core/Transcript.h"
#include "db/BackupSettingsSource.h"
#include "services/TIBBackupService.h"

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QStatusBar;

namespace app {

class OutputView;
class TGauge;
class TRxTrayIcon;

// The program's only main window: it owns every component, holds the backup settings and decides the
// run mode. Its handlers are the program's operations; each is called through Guarded when the event
// loop delivers it, and may be called directly by tests.
class TfrmBackup : public QMainWindow {
  Q_OBJECT

 public:
  // Builds the window and its components and runs the start-up sequence. arguments[0] is the program,
  // programFolder the folder of its executable, ending with "/".
  TfrmBackup(const QStringList& arguments, const QString& programFolder, QWidget* parent = nullptr);
  ~TfrmBackup() override;

  bool ManualMode() const;
  const core::BackupSettings& Settings() const { return settings_; }
  core::BackupSettings& Settings() { return settings_; }
  int ReconnectionAttempt() const { return reconnectionAttempt_; }

  // Start-up and exit.
  void FormCreate();
  void HideOnMinimize();
  void popSairClick();

  // Schedule.
  void tmrRelogioTimer();
  void ShowWaitingText();

  // Backup job. A note (UTF-8) goes into the job's log block, such as why a scheduled job runs late.
  void btnIniciarClick();
  void RunJob(const std::string& note);

  // Start with the system, tray icon, About, release notes and remote support.
  void popIniciarWindowsClick();
  void RxTrayIconClick();
  void Sore1Click();
  void NotasdaVerso1Click();
  void SuporteRemoto1Click();

  // Settings load, and the connection's error event with its reconnection attempts.
  void tmrConexaoTimer();
  void IBODatabaseAfterConnect();
  void IBODatabaseError(db::TIB_Component* Sender, long ERRCODE, const db::TextLines& ErrorMessage,
                        const db::TextLines& ErrorCodes, long SQLCODE, const db::TextLines& SQLMessage,
                        const db::TextLines& SQL, bool& RaiseException);

  // The application database connection, its transaction and the settings query.
  db::TIBODatabase& IBODatabase() { return settingsSource_->IBODatabase; }
  db::TIBOTransaction& IBOTransaction() { return settingsSource_->IBOTransaction; }
  db::TIBOQuery& tblBackup() { return settingsSource_->tblBackup; }

  // Window elements.
  OutputView* memSaida = nullptr;
  QLabel* txtStatus = nullptr;
  TGauge* Gauge = nullptr;
  QLabel* txtHora = nullptr;
  QPushButton* btnIniciar = nullptr;
  QStatusBar* stbStatus = nullptr;
  QLabel* stbStatusPanel = nullptr;
  QMenu* Opes1 = nullptr;
  QAction* mnuIniciarWindows = nullptr;
  QAction* mnuSair = nullptr;
  QMenu* mnuInformacoes = nullptr;
  QAction* SuporteRemoto1 = nullptr;
  QAction* NotasdaVerso1 = nullptr;
  QAction* Sore1 = nullptr;
  QMenu* PopupMenu = nullptr;
  QAction* popIniciarWindows = nullptr;
  QAction* popSair = nullptr;
  QTimer tmrRelogio;
  QTimer tmrConexao;
  TRxTrayIcon* RxTrayIcon = nullptr;
  // The backup service component; its fixed settings are given when the window is built.
  std::unique_ptr<services::TIBBackupService> Backup;
  bool JobRunning() const { return jobRunning_; }

  // Sets a label's text and repaints it at once, as the status line needs while a job keeps the loop busy.
  static void SetTextNow(QLabel* label, const QString& text);

 protected:
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void CreateElements();
  void CreateMenus();
  void ConnectHandlers();
  void InitStartupCheckMarks();
  void CreateDataComponents();
  void EndJobEarly();
  // Runs a handler the message loop delivers (a command, the button, a timer tick). When it returns, the
  // loop has control again, so an exit asked for during a job takes effect now.
  void Deliver(void (TfrmBackup::*handler)());
  void FinishPendingExit();

  // The state of the last backup in the notification area (automatic mode): the icon's mark, its hint
  // and, for a failure, a notification, so that an unattended failure reaches a person.
  enum class JobEnd {
    Succeeded,  // backed up, verified when asked, and copied when a copy folder is set
    NotCopied,  // a good backup that did not reach the copy folder
    Failed,     // no backup, or one that did not verify
  };
  void ShowJobRunning();
  void ShowJobEnded(const QString& started, JobEnd end, const QString& problem);
  void ShowSettingsProblem(const QString& problem);
  bool NoScheduleTimes() const;
  // The server's error that ended the last job, from its transcript.
  QString FailureText() const;

  // Shows a running job in the window: its transcript in the output area, its status and progress, and
  // the message pump after every line the server sends, which keeps the window, the tray icon and the
  // menus live during a backup.
  class JobView : public core::JobObserver {
   public:
    explicit JobView(TfrmBackup& form) : form_(form) {}
    void TranscriptChanged() override;
    void StatusChanged(std::string_view status) override;
    void ProgressMaximumChanged(int maximum) override;
    void ProgressAdvanced() override;
    void ProgressFilled() override;
    void OutputLineRead(std::string_view cp1252Line) override;
    void VerificationFailed(std::string_view why) override;
    void CopyFailed() override;

   private:
    TfrmBackup& form_;
  };

  std::unique_ptr<db::BackupSettingsSource> settingsSource_;
  QStringList arguments_;
  core::BackupSettings settings_;
  // What the running or the last job wrote: the output area shows it and the log received it.
  core::Transcript transcript_;
  JobView jobView_{*this};
  core::Scheduler scheduler_;
  // The running job could not copy its backup to the copy folder.
  bool copyFailed_ = false;
  // Why the running job's backup did not verify; empty when it did or was not checked.
  QString verificationProblem_;
  int reconnectionAttempt_ = 0;
  bool hideOnMinimize_ = false;
  bool jobRunning_ = false;
  // Set once the window has been closed: the program ends as soon as control returns to the message loop.
  bool closeRequested_ = false;
  // "Sair", the close button or a termination signal came while a job ran: the window closes once the
  // job has returned to the message loop.
  bool exitPending_ = false;
  // The check mark of both "Iniciar com o Windows" items: Qt flips a clicked checkable item by itself.
  bool iniciarWindowsChecked_ = false;
};

}  // namespace app
