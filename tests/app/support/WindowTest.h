#pragma once

#include <gtest/gtest.h>

#include <QIcon>
#include <QImage>
#include <filesystem>
#include <memory>
#include <string>

#include "app/ErrorRoute.h"
#include "app/widgets/OutputView.h"
#include "app/window/TfrmBackup.h"
#include "tests/app/support/FakePlatform.h"
#include "tests/app/support/StartWindow.h"
#include "tests/fakes/FakeServer.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TempFolder.h"

namespace testsupport {

// The main window of a program folder of its own on the fake platform and a server in memory, whose
// database dbhost:/dados/APP.FDB holds 2 tables and a settings row of 08:00 and 7 retention days.
class WindowTest : public ::testing::Test {
 protected:
  static constexpr const char* kLocation = "dbhost:/dados/APP.FDB";

  WindowTest() {
    server.tables[kLocation] = 2;
    server.row = {{"08:00", "", "", ""}, "", 7};
  }
  // Started with whatever further [Backup] lines are given, its settings load left to the test (the
  // connection timer stopped).
  std::unique_ptr<app::TfrmBackup> Start(bool manual, const std::string& backupLines = {},
                                         const std::string& location = kLocation) {
    auto form = StartWindow(folder, location, manual, server, "Linux", backupLines);
    form->tmrConexao.stop();
    return form;
  }
  // A click, a clock tick or the connection tick as the event loop delivers it.
  static void Click(app::TfrmBackup& form) {
    app::Guarded([&] { form.btnIniciarClick(); });
  }
  static void Tick(app::TfrmBackup& form) {
    app::Guarded([&] { form.tmrConexaoTimer(); });
  }
  static void ClockTick(app::TfrmBackup& form) {
    app::Guarded([&] { form.tmrRelogioTimer(); });
  }
  std::filesystem::path BackupFolder() const { return folder.Path() / "backup"; }
  std::string Log() const { return ReadAll(BackupFolder() / "backup.txt"); }
  static QImage Picture(const QIcon& icon) {
    return icon.pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32);
  }
  static bool Shows(const app::TfrmBackup& form, const std::string& cp1252Line) {
    const auto& lines = form.memSaida->Lines();
    return std::find(lines.begin(), lines.end(), cp1252Line) != lines.end();
  }

  FakePlatform platform;
  TempFolder folder;
  fakes::FakeServer server;
};

}  // namespace testsupport
