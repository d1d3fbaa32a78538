#include "bench/JobWindow.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QWindow>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

#include "app/ErrorRoute.h"
#include "app/widgets/OutputView.h"
#include "app/widgets/ProgressGauge.h"
#include "app/window/TfrmBackup.h"
#include "bench/BenchSupport.h"
#include "fbclient/ClientLibrary.h"
#include "tests/double/DoubleLoader.h"

namespace bench {
namespace fs = std::filesystem;

std::unique_ptr<testsupport::XDisplay> PrepareDisplay() {
  const char* platform = std::getenv("BENCH_QPA");
  if (platform != nullptr && *platform != '\0') {
    ::setenv("QT_QPA_PLATFORM", platform, 1);
    if (std::string(platform) != "xcb") return nullptr;
  } else {
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
  }
  const char* display = std::getenv("DISPLAY");
  if (display != nullptr && *display != '\0') return nullptr;
  auto own = std::make_unique<testsupport::XDisplay>();
  ::setenv("DISPLAY", own->Name().c_str(), 1);
  ::setenv("XAUTHORITY", own->AuthorityFile().c_str(), 1);
  return own;
}

JobWindow::JobWindow(const fs::path& programFolder, const std::string& databaseLocation, bool shown)
    : programFolder_(programFolder) {
  fs::create_directories(programFolder_);
  {
    std::ofstream ini(programFolder_ / "sistema.ini", std::ios::binary | std::ios::trunc);
    ini << "[Dados]\r\nDir=" << databaseLocation << "\r\n[Backup]\r\nSistema=Linux\r\n";
  }
  const QStringList arguments{QStringLiteral("kelmora-backup"), QStringLiteral("MANUAL")};
  form_ = std::make_unique<app::TfrmBackup>(arguments, QString::fromStdString(programFolder_.string() + "/"));
  form_->tmrConexao.stop();
  form_->Settings().copyFolder.clear();
  form_->Settings().retentionDays = 0;
  form_->memSaida->viewport()->installEventFilter(&outputPaints_);
  form_->Gauge->installEventFilter(&gaugePaints_);
  if (shown) {
    form_->show();
    QElapsedTimer waited;
    waited.start();
    while (!(form_->windowHandle() != nullptr && form_->windowHandle()->isExposed()) &&
           waited.elapsed() < 10000)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    if (!form_->windowHandle()->isExposed()) throw std::runtime_error("the window was never exposed");
  }
  Settle(200);
}

JobWindow::~JobWindow() = default;

double JobWindow::RunJob() {
  platform_.boxes.clear();
  outputPaints_.count = 0;
  gaugePaints_.count = 0;
  const auto start = Clock::now();
  app::Guarded([&] { form_->btnIniciarClick(); });
  const double seconds = SecondsSince(start);
  const QString status = form_->txtStatus->text();
  if (status != QStringLiteral("Backup concluído.") || !platform_.boxes.empty()) {
    std::string shown;
    for (const auto& line : form_->memSaida->Lines())
      shown += line + "\n";
    for (const auto& box : platform_.boxes)
      shown += "box: " + box.text.toStdString() + "\n";
    throw std::runtime_error("the job did not complete: " + status.toStdString() + "\n" + shown);
  }
  return seconds;
}

size_t JobWindow::OutputLines() const {
  return form_->memSaida->Lines().size();
}

void JobWindow::ClearBackupFolder() const {
  std::error_code ignored;
  if (!fs::exists(BackupFolder())) return;
  for (const auto& entry : fs::directory_iterator(BackupFolder()))
    fs::remove_all(entry.path(), ignored);
}

void JobWindow::Settle(int milliseconds) const {
  QElapsedTimer waited;
  waited.start();
  while (waited.elapsed() < milliseconds)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

fbdouble::Control& ServeFromDouble() {
  fbclient::SetClientLibraryFileName(fbdouble::VariantPath("full"));
  fbdouble::Control& control = fbdouble::LoadVariant("full");
  control.SetForwarding(false);
  control.SetRecording(false);
  return control;
}

}  // namespace bench
