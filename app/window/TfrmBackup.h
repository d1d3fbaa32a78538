#pragma once

#include <QMainWindow>
#include <QStringList>
#include <QTimer>
#include <memory>

#include "app/desktop/DesktopSystem.h"
#include "core/BackupRun.h"
#include "core/BackupSettings.h"
#include "core/JobObserver.h"
#include "core/JobReport.h"
#include "core/Scheduler.h"
#include "core/SettingsSource.h"
#include "core/Transcript.h"

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QStatusBar;

namespace app {

class OutputView;
class ProgramChannel;
class ProgressGauge;
class ServerAdapters;
class TRxTrayIcon;

// The program's only main window: it owns every component, holds the backup settings and decides the
// run mode. Its handlers are the program's operations; each is called through Guarded when the event
// loop delivers it, and may be called directly by tests. It reaches the database server through the
// core's ports only.
class TfrmBackup : public QMainWindow {
  Q_OBJECT

 public:
  // Builds the window and its components and runs the start-up sequence. arguments[0] is the program,
  // programFolder the folder of its executable, ending with "/". The window reaches the database server
  // through the ports, which outlive it.
  TfrmBackup(const QStringList& arguments, const QString& programFolder, const core::RunPorts& ports,
             QWidget* parent = nullptr);
  // The same through the services manager and the application database of the real server.
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

  // Settings load: the tick that reads the settings row, what follows the attach (the database's name in
  // the status bar), what follows the row, and the connection's error event with its reconnection
  // attempts, which answers whether another attempt follows.
  void tmrConexaoTimer();
  void IBODatabaseAfterConnect(const std::string& databaseName);
  void SettingsRowRead();
  bool IBODatabaseError(const core::AttachError& error);

  // The backup service: the backup request and the restore that checks a backup.
  core::BackupServer& Backup() { return ports_.server; }

  // Window elements.
  OutputView* memSaida = nullptr;
  QLabel* txtStatus = nullptr;
  ProgressGauge* Gauge = nullptr;
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
  void Build(const QString& programFolder);
  void InitStartupCheckMarks();
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
  bool ShowsBackupState() const;
  void ShowJobRunning();
  void ShowJobEnded(const QString& started, JobEnd end, const QString& problem);
  // The tray's state after a job, from its report.
  void ShowJobEnded(const QString& started, const core::JobReport& report);
  void ShowSettingsProblem(const QString& problem);
  // Automatic mode on a desktop without a notification area: says so, and answers a start from the menu
  // by showing this window.
  void ShowRunningWithoutTray();
  void OpenChannel();
  bool NoScheduleTimes() const;

  // Shows a running job in the window: its transcript in the output area, its status and progress, and
  // the message pump after every few lines the server sends (and, the lines read ahead on a thread of their
  // own, while none is waiting), which keeps the window, the tray icon and the menus live during a backup.
  class JobView : public core::JobObserver {
   public:
    explicit JobView(TfrmBackup& form) : form_(form) {}
    void TranscriptChanged() override;
    void StatusChanged(std::string_view status) override;
    void ProgressMaximumChanged(int maximum) override;
    void ProgressAdvanced() override;
    void ProgressFilled() override;
    void OutputLineRead(std::string_view cp1252Line) override;
    void BackupDataRead() override;

   private:
    TfrmBackup& form_;
    // Lines shown since the last message pump.
    int linesSincePump_ = 0;
  };

  // The settings load's side of the attempts to attach.
  class ConnectionAttempts : public core::SettingsSource::Attempts {
   public:
    explicit ConnectionAttempts(TfrmBackup& form) : form_(form) {}
    void Attached(const std::string& databaseName) override { form_.IBODatabaseAfterConnect(databaseName); }
    bool AttemptFailed(const core::AttachError& error) override { return form_.IBODatabaseError(error); }

   private:
    TfrmBackup& form_;
  };

  // Declared before the ports, which may be theirs.
  std::unique_ptr<ServerAdapters> ownAdapters_;
  core::RunPorts ports_;
  std::unique_ptr<ProgramChannel> channel_;
  QStringList arguments_;
  core::BackupSettings settings_;
  // What the running or the last job wrote: the output area shows it and the log received it.
  core::Transcript transcript_;
  JobView jobView_{*this};
  // How the running or the last job came out.
  core::JobReport lastReport_;
  core::Scheduler scheduler_{Desktop()};
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
