#pragma once

#include <QDateTime>
#include <QString>
#include <functional>
#include <vector>

#include "app/Platform.h"

namespace testsupport {

// Thrown by the fake platform where the program would end the process.
struct ProcessEnded {
  int exitCode;
};

// A platform for in-process tests: boxes are recorded instead of shown, sleeps only count, the end of the
// process throws ProcessEnded, and the clock is whatever the test sets (the real clock by default).
// Installed for its lifetime.
class FakePlatform : public app::Platform {
 public:
  struct Box {
    app::MessageBoxKind kind;
    QString text;
  };

  FakePlatform() { app::SetPlatform(this); }
  ~FakePlatform() override { app::SetPlatform(nullptr); }

  void ShowMessage(QWidget*, app::MessageBoxKind kind, const QString& text) override {
    boxes.push_back({kind, text});
    if (onMessage) onMessage(boxes.back());
  }
  void ExecModal(QDialog& dialog) override {
    modalShown.push_back(&dialog);
    if (onModal) onModal(dialog);
  }
  void Sleep(int milliseconds) override {
    sleptMilliseconds += milliseconds;
    if (onSleep) onSleep(milliseconds);
  }
  [[noreturn]] void EndProcess(int exitCode) override { throw ProcessEnded{exitCode}; }
  QDateTime Now() override { return now ? now() : QDateTime::currentDateTime(); }

  std::vector<Box> boxes;
  std::vector<QDialog*> modalShown;
  long long sleptMilliseconds = 0;
  std::function<void(const Box&)> onMessage;
  std::function<void(QDialog&)> onModal;
  std::function<void(int)> onSleep;
  std::function<QDateTime()> now;
};

}  // namespace testsupport
