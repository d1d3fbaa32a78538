#include "app/window/TfrmBackup.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>

#include "app/ErrorRoute.h"
#include "app/Text.h"
#include "app/desktop/DesktopSystem.h"
#include "app/desktop/ProgramChannel.h"
#include "app/desktop/ProgramIcon.h"
#include "app/desktop/TRxTrayIcon.h"
#include "app/widgets/OutputView.h"
#include "app/widgets/ProgressGauge.h"
#include "app/window/RunMode.h"
#include "app/window/ServerAdapters.h"
#include "core/SettingsFile.h"

namespace app {
namespace {

QFont PixelFont(const QString& family, int pixelSize, bool bold = false,
                QFont::StyleHint hint = QFont::SansSerif) {
  QFont font(family);
  font.setStyleHint(hint);
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  return font;
}

// Client area below the menu bar and above the status bar.
constexpr int kClientWidth = 600;
constexpr int kClientHeight = 383;
constexpr int kStatusBarHeight = 19;

}  // namespace

TfrmBackup::TfrmBackup(const QStringList& arguments, const QString& programFolder,
                       const core::RunPorts& ports, QWidget* parent)
    : QMainWindow(parent), ports_(ports), arguments_(arguments) {
  Build(programFolder);
}

TfrmBackup::TfrmBackup(const QStringList& arguments, const QString& programFolder, QWidget* parent)
    : QMainWindow(parent),
      ownAdapters_(std::make_unique<ServerAdapters>(Desktop())),
      ports_(ownAdapters_->Ports()),
      arguments_(arguments) {
  Build(programFolder);
}

TfrmBackup::~TfrmBackup() = default;

void TfrmBackup::Build(const QString& programFolder) {
  settings_.programFolder = programFolder.toStdString();
  setWindowTitle(QStringLiteral("Backup"));
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFont(PixelFont(QStringLiteral("MS Sans Serif"), 11));
  setWindowIcon(ProgramIcon());
  CreateElements();
  CreateMenus();
  ConnectHandlers();
  Guarded([this] { FormCreate(); });
}

void TfrmBackup::CreateElements() {
  auto* client = new QWidget(this);
  client->setFixedSize(kClientWidth, kClientHeight);
  setCentralWidget(client);

  memSaida = new OutputView(client);
  memSaida->setObjectName(QStringLiteral("memSaida"));
  memSaida->setGeometry(8, 8, 585, 305);
  memSaida->setFont(PixelFont(QStringLiteral("Consolas"), 13, false, QFont::Monospace));
  memSaida->SetTranscript(transcript_);

  txtStatus = new QLabel(client);
  txtStatus->setObjectName(QStringLiteral("txtStatus"));
  txtStatus->setGeometry(9, 325, 425, 25);
  txtStatus->setFont(PixelFont(QStringLiteral("Arial"), 12, true));
  txtStatus->setStyleSheet(QStringLiteral("color: black;"));

  Gauge = new ProgressGauge(client);
  Gauge->setObjectName(QStringLiteral("Gauge"));
  Gauge->setGeometry(8, 353, 429, 25);

  txtHora = new QLabel(client);
  txtHora->setObjectName(QStringLiteral("txtHora"));
  txtHora->setGeometry(503, 323, 87, 19);
  txtHora->setAlignment(Qt::AlignCenter);
  txtHora->setFont(PixelFont(QStringLiteral("Arial"), 16, true));

  btnIniciar = new QPushButton(QStringLiteral("Iniciar"), client);
  btnIniciar->setObjectName(QStringLiteral("btnIniciar"));
  btnIniciar->setGeometry(501, 354, 89, 25);

  stbStatus = new QStatusBar(this);
  stbStatus->setObjectName(QStringLiteral("stbStatus"));
  stbStatus->setFixedHeight(kStatusBarHeight);
  stbStatus->setSizeGripEnabled(false);
  // A permanent label: the one simple panel, which menu hints must not overwrite.
  stbStatusPanel = new QLabel(stbStatus);
  stbStatus->addWidget(stbStatusPanel, 1);
  setStatusBar(stbStatus);

  tmrRelogio.setInterval(1000);
  // Each tick sets the next one to the middle of a second; a coarse timer would be moved to a second's edge.
  tmrRelogio.setTimerType(Qt::PreciseTimer);
  tmrConexao.setInterval(1000);

  RxTrayIcon = new TRxTrayIcon(this);
  RxTrayIcon->SetHint(QStringLiteral("Kelmora Backup"));
  RxTrayIcon->SetIcon(ProgramIcon());
  RxTrayIcon->SetActive(true);
}

void TfrmBackup::CreateMenus() {
  Opes1 = menuBar()->addMenu(QStringLiteral("Opções"));
  mnuIniciarWindows = Opes1->addAction(QStringLiteral("Iniciar com o Windows"));
  mnuIniciarWindows->setCheckable(true);
  Opes1->addSeparator();
  mnuSair = Opes1->addAction(QStringLiteral("Sair"));

  mnuInformacoes = menuBar()->addMenu(QStringLiteral("Ajuda"));
  SuporteRemoto1 = mnuInformacoes->addAction(QStringLiteral("Suporte Remoto"));
  NotasdaVerso1 = mnuInformacoes->addAction(QStringLiteral("Notas das Versões"));
  mnuInformacoes->addSeparator();
  Sore1 = mnuInformacoes->addAction(QStringLiteral("Sobre"));

  PopupMenu = new QMenu(this);
  popIniciarWindows = PopupMenu->addAction(QStringLiteral("Iniciar com o Windows"));
  popIniciarWindows->setCheckable(true);
  PopupMenu->addSeparator();
  popSair = PopupMenu->addAction(QStringLiteral("Sair"));
  RxTrayIcon->SetPopupMenu(PopupMenu);
}

void TfrmBackup::ConnectHandlers() {
  auto route = [this](QAction* action, void (TfrmBackup::*handler)()) {
    connect(action, &QAction::triggered, this, [this, handler] { Deliver(handler); });
  };
  route(mnuIniciarWindows, &TfrmBackup::popIniciarWindowsClick);
  route(popIniciarWindows, &TfrmBackup::popIniciarWindowsClick);
  route(mnuSair, &TfrmBackup::popSairClick);
  route(popSair, &TfrmBackup::popSairClick);
  route(SuporteRemoto1, &TfrmBackup::SuporteRemoto1Click);
  route(NotasdaVerso1, &TfrmBackup::NotasdaVerso1Click);
  route(Sore1, &TfrmBackup::Sore1Click);
  connect(btnIniciar, &QPushButton::clicked, this, [this] { Deliver(&TfrmBackup::btnIniciarClick); });
  connect(&tmrRelogio, &QTimer::timeout, this, [this] { Deliver(&TfrmBackup::tmrRelogioTimer); });
  connect(&tmrConexao, &QTimer::timeout, this, [this] { Deliver(&TfrmBackup::tmrConexaoTimer); });
  RxTrayIcon->OnClick = [this](TRxTrayIcon&, TRxTrayIcon::MouseButton, QPoint) { RxTrayIconClick(); };
}

void TfrmBackup::Deliver(void (TfrmBackup::*handler)()) {
  Guarded([&] { (this->*handler)(); });
  FinishPendingExit();
}

void TfrmBackup::FinishPendingExit() {
  // A handler delivered by the job's own message pump returns while the job still runs; only the
  // handler that ran the job finds it over.
  if (!exitPending_ || jobRunning_) return;
  exitPending_ = false;
  close();
}

bool TfrmBackup::ManualMode() const {
  return IsManualMode(arguments_);
}

void TfrmBackup::SetTextNow(QLabel* label, const QString& text) {
  label->setText(text);
  label->repaint();
}

void TfrmBackup::FormCreate() {
  core::ReadSettingsFile(settings_, Desktop());
  if (settings_.databaseLocation.empty()) {
    ShowMessage(MessageBoxKind::Error,
                QStringLiteral("Não foi encontrado o arquivo de configuração SISTEMA.INI.\r\r"
                               "Por favor verifique o diretório do executável ou as "
                               "propriedades do atalho."));
    Desktop().EndProcess(0);
  }

  InitStartupCheckMarks();

  if (!ManualMode()) {
    // Without a notification area a hidden window could come back only through the menu entry; a
    // minimised one stays where the desktop keeps its windows.
    const bool trayAvailable = Desktop().TrayAvailable();
    hideOnMinimize_ = trayAvailable;
    scheduler_.Start();
    tmrRelogio.start();
    btnIniciar->hide();
    if (!trayAvailable) {
      ShowRunningWithoutTray();
      OpenChannel();
    }
  } else {
    SetTextNow(txtStatus, QStringLiteral("Clique no botão INICIAR para realizar a cópia de segurança..."));
    txtHora->hide();
    RxTrayIcon->SetActive(false);
  }
  reconnectionAttempt_ = 1;
  tmrConexao.start();
}

void TfrmBackup::OpenChannel() {
  channel_ = std::make_unique<ProgramChannel>();
  channel_->OnShow = [this] { RxTrayIconClick(); };
  // Without a bus a start from the menu runs a window of its own, as it did before.
  channel_->Open(Desktop().SessionBus(), QString::fromStdString(settings_.programFolder));
}

void TfrmBackup::HideOnMinimize() {
  hide();
}

void TfrmBackup::popSairClick() {
  close();
}

void TfrmBackup::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange && hideOnMinimize_ && isMinimized()) {
    // Hiding from inside the state change confuses some window managers; do it once the change is done.
    QTimer::singleShot(0, this, [this] { Guarded([this] { HideOnMinimize(); }); });
  }
}

void TfrmBackup::closeEvent(QCloseEvent* event) {
  if (jobRunning_) {
    // The job pumps messages after every output line, so "Sair", the close button or a termination
    // signal arrive inside it. It must finish and log its block with the window and the tray icon still
    // there, and only then may the program end.
    event->ignore();
    exitPending_ = true;
    return;
  }
  QMainWindow::closeEvent(event);
  if (!event->isAccepted()) return;
  closeRequested_ = true;
  RxTrayIcon->SetActive(false);
  // The program ends with its main window, also when other windows or boxes are still open or the
  // window was never shown (automatic mode).
  QCoreApplication::quit();
}

}  // namespace app
