#pragma once

#include <gtest/gtest.h>

#include <QStringList>
#include <memory>

#include "app/window/TfrmBackup.h"
#include "tests/app/support/FakePlatform.h"
#include "tests/support/TempFolder.h"

namespace testsupport {

// The main window started in manual mode from a program folder whose sistema.ini names a database on
// another machine; the fake platform records what it shows.
class ManualWindowTest : public ::testing::Test {
 protected:
  ManualWindowTest() {
    program.Write("sistema.ini", "[Dados]\nDir=srv:/dados/app.fdb\n");
    form = std::make_unique<app::TfrmBackup>(QStringList{QStringLiteral("backup"), QStringLiteral("MANUAL")},
                                             QString::fromStdString(program.WithSeparator()));
  }

  FakePlatform platform;
  TempFolder program;
  std::unique_ptr<app::TfrmBackup> form;
};

}  // namespace testsupport
