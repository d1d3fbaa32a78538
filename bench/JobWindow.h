#pragma once

#include <QEvent>
#include <QObject>
#include <filesystem>
#include <memory>
#include <string>

#include "tests/app/support/FakePlatform.h"
#include "tests/double/FbDouble.h"
#include "tests/e2e/support/Desktop.h"

namespace app {
class TfrmBackup;
}

namespace bench {

// Chooses where the in-process window is shown, before the application object exists: the xcb
// platform on DISPLAY when there is one, else on a private Xvfb that lives as long as the returned
// object (empty when an existing display is used). BENCH_QPA overrides the platform ("offscreen").
std::unique_ptr<testsupport::XDisplay> PrepareDisplay();

// The program's main window in manual mode, in this process, as a person uses it: a program folder
// with its sistema.ini, the settings load left out (the benchmark gives the settings: no copy, no
// clean-up unless asked), boxes recorded instead of shown.
class JobWindow {
 public:
  JobWindow(const std::filesystem::path& programFolder, const std::string& databaseLocation, bool shown);
  ~JobWindow();
  JobWindow(const JobWindow&) = delete;
  JobWindow& operator=(const JobWindow&) = delete;

  app::TfrmBackup& Form() { return *form_; }
  std::filesystem::path BackupFolder() const { return programFolder_ / "backup"; }

  // One job as a click on "Iniciar" runs it, timed from the click until the status line reads
  // "Backup concluído.". Throws when the job did not complete, with what the window shows.
  double RunJob();
  // Lines the output area held at the end of the last job.
  size_t OutputLines() const;
  // Paint events of the output area's text and of the gauge during the last job: each one is a
  // picture sent to the display from the thread that reads the server's lines.
  int OutputPaints() const { return outputPaints_.count; }
  int GaugePaints() const { return gaugePaints_.count; }
  // Removes what a job leaves in the backup folder (backup files and the log), so that every run
  // starts from the same folder.
  void ClearBackupFolder() const;
  // Lets the window catch up with pending paints and timers, outside any timing.
  void Settle(int milliseconds = 50) const;

 private:
  struct PaintCounter : QObject {
    bool eventFilter(QObject*, QEvent* event) override {
      if (event->type() == QEvent::Paint) ++count;
      return false;
    }
    int count = 0;
  };

  std::filesystem::path programFolder_;
  PaintCounter outputPaints_;
  PaintCounter gaugePaints_;
  testsupport::FakePlatform platform_;
  std::unique_ptr<app::TfrmBackup> form_;
};

// Points the services client at the client library double, which answers every call at once without
// recording, so a benchmark measures the window's own work.
fbdouble::Control& ServeFromDouble();

}  // namespace bench
