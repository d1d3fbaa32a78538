#pragma once

#include <QDateTime>
#include <QString>

class QDialog;
class QWidget;

namespace app {

// The kinds of modal box the program shows; each has exactly one "OK" button.
enum class MessageBoxKind {
  Error,         // title "Error", error icon
  Information,   // title "Information", information icon
  Plain,         // captioned with the application title, no icon
  StandardError  // the application's error box: application title, error icon
};

// Everything that blocks or ends the process goes through here, so that tests can replace it:
// modal boxes and windows, sleeps, the end of the process and the clock.
class Platform {
 public:
  virtual ~Platform() = default;
  virtual void ShowMessage(QWidget* parent, MessageBoxKind kind, const QString& text) = 0;
  // Shows a window modally and returns when it is closed.
  virtual void ExecModal(QDialog& dialog) = 0;
  virtual void Sleep(int milliseconds) = 0;
  // Ends the process at once with the exit code. A test replacement may throw instead of returning.
  [[noreturn]] virtual void EndProcess(int exitCode) = 0;
  virtual QDateTime Now() = 0;
};

// The platform in use; the desktop one unless a test installed its own.
Platform& CurrentPlatform();
// Installs a replacement (nullptr restores the desktop platform). The caller keeps ownership.
void SetPlatform(Platform* platform);

}  // namespace app
