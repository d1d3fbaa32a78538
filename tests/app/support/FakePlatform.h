#pragma once

#include <QDateTime>
#include <QString>
#include <functional>
#include <vector>

#include "app/desktop/DesktopSystem.h"

namespace testsupport {

// Thrown by the fake platform where the program would end the process.
struct ProcessEnded {
  int exitCode;
};

// A system for in-process tests: boxes and notifications are recorded instead of shown, sleeps only count,
// the end of the process throws ProcessEnded, and the clock is whatever the test sets. A test that sets
// none gets a fixed moment that its counted sleeps move on, never the machine's clock: the window reads
// the clock from its first moment on (the schedule's watch starts with it), and an outcome must not depend
// on the hour a test happens to run at. The desktop has a notification area and no session bus unless the
// test says otherwise. Everything else is the machine's own. Installed for its lifetime.
class FakePlatform : public app::DesktopSystem {
 public:
  struct Box {
    app::MessageBoxKind kind;
    QString text;
  };

  FakePlatform() { platform::SetCurrent(this); }
  ~FakePlatform() override { platform::SetCurrent(nullptr); }

  void ShowMessage(app::MessageBoxKind kind, std::string_view text) override {
    boxes.push_back({kind, QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))});
    if (onMessage) onMessage(boxes.back());
  }
  void Notify(const QString& title, const QString& text, app::NotificationUrgency urgency) override {
    notifications.push_back({app::MessageBoxKind::Plain, title + QLatin1Char('|') + text});
    urgencies.push_back(urgency);
  }
  bool TrayAvailable() override { return trayAvailable; }
  QDBusConnection SessionBus() override { return bus; }
  void ExecModal(QDialog& dialog) override {
    modalShown.push_back(&dialog);
    if (onModal) onModal(dialog);
  }
  void Sleep(std::chrono::milliseconds duration) override {
    const int milliseconds = static_cast<int>(duration.count());
    sleptMilliseconds += milliseconds;
    if (onSleep) onSleep(milliseconds);
  }
  [[noreturn]] void EndProcess(int exitCode) override { throw ProcessEnded{exitCode}; }
  platform::TimePoint Now() override {
    const QDateTime moment =
        now ? now() : QDateTime(QDate(2026, 3, 7), QTime(12, 0)).addMSecs(sleptMilliseconds);
    return platform::TimePoint(std::chrono::milliseconds(moment.toMSecsSinceEpoch()));
  }

  std::vector<Box> boxes;
  // Desktop notifications, as "title|text", and their urgencies.
  std::vector<Box> notifications;
  std::vector<app::NotificationUrgency> urgencies;
  bool trayAvailable = true;
  // No bus unless the test connects one.
  QDBusConnection bus{QStringLiteral("no session bus")};
  std::vector<QDialog*> modalShown;
  long long sleptMilliseconds = 0;
  std::function<void(const Box&)> onMessage;
  std::function<void(QDialog&)> onModal;
  std::function<void(int)> onSleep;
  std::function<QDateTime()> now;
};

}  // namespace testsupport
