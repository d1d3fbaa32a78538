#include "app/Platform.h"

#include <unistd.h>

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QThread>
#include <cstdio>

namespace app {
namespace {

class DesktopPlatform final : public Platform {
 public:
  void ShowMessage(QWidget* parent, MessageBoxKind kind, const QString& text) override {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString title = QApplication::applicationName();
    switch (kind) {
      case MessageBoxKind::Error:
        icon = QMessageBox::Critical;
        title = QStringLiteral("Error");
        break;
      case MessageBoxKind::Information:
        icon = QMessageBox::Information;
        title = QStringLiteral("Information");
        break;
      case MessageBoxKind::Plain:
        break;
      case MessageBoxKind::StandardError:
        icon = QMessageBox::Critical;
        break;
    }
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    box.exec();
  }

  void ExecModal(QDialog& dialog) override { dialog.exec(); }

  void Sleep(int milliseconds) override { QThread::msleep(static_cast<unsigned long>(milliseconds)); }

  [[noreturn]] void EndProcess(int exitCode) override {
    std::fflush(nullptr);
    _exit(exitCode);
  }

  QDateTime Now() override { return QDateTime::currentDateTime(); }
};

DesktopPlatform desktopPlatform;
Platform* current = nullptr;

}  // namespace

Platform& CurrentPlatform() {
  return current != nullptr ? *current : desktopPlatform;
}

void SetPlatform(Platform* platform) {
  current = platform;
}

}  // namespace app
