#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <string>

#include "app/window/TfrmBackup.h"
#include "tests/fakes/FakeServer.h"
#include "tests/support/TempFolder.h"

namespace testsupport {

// The main window of a program folder whose sistema.ini names the database location and the server's
// system (and holds whatever further [Backup] lines are given), started as the command line "backup" or
// "backup MANUAL" starts it, on a server in memory.
inline std::unique_ptr<app::TfrmBackup> StartWindow(const TempFolder& folder, const std::string& location,
                                                    bool manual, fakes::FakeServer& server,
                                                    const std::string& system = "Linux",
                                                    const std::string& backupLines = {}) {
  folder.Write("sistema.ini",
               "[Dados]\r\nDir=" + location + "\r\n[Backup]\r\nSistema=" + system + "\r\n" + backupLines);
  QStringList arguments{QStringLiteral("backup")};
  if (manual) arguments << QStringLiteral("MANUAL");
  return std::make_unique<app::TfrmBackup>(arguments, QString::fromStdString(folder.WithSeparator()),
                                           server.Ports());
}

}  // namespace testsupport
