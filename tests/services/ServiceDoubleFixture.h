#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "fbclient/ClientLibrary.h"
#include "fbclient/Exceptions.h"
#include "services/BackupInstance.h"
#include "services/TIBBackupService.h"
#include "tests/double/ScopedClientDouble.h"

namespace services {

// Service components bound to the full client double, which answers without a server unless a test
// turns forwarding back on.
class ServiceDoubleTest : public ::testing::Test {
 protected:
  // The main window's Backup instance before a run, with the tests' own password in place of the one
  // the program is built with, so that the bytes on the wire do not depend on the build (and the
  // build's default, the test server's password, appears nowhere in this program).
  static std::unique_ptr<TIBBackupService> NewBackup() {
    auto backup = std::make_unique<TIBBackupService>();
    ApplyBackupInstanceSettings(*backup);
    backup->Params().Set(1, "password=masterkey");
    return backup;
  }

  // The same after the job has given it its run settings.
  static std::unique_ptr<TIBBackupService> PreparedBackup() {
    auto backup = NewBackup();
    backup->SetDatabaseName("/dados/app.fdb");
    backup->SetServerName("dbhost");
    backup->BackupFile().Clear();
    backup->BackupFile().Add("/backup/app.fbk");
    backup->SetProtocol(TProtocol::TCP);
    return backup;
  }

  // The same attached to the services manager (of the double), ready to start.
  static std::unique_ptr<TIBBackupService> AttachedBackup() {
    auto backup = PreparedBackup();
    backup->SetActive(true);
    return backup;
  }

  std::vector<fbdouble::Call> ServerCalls() const { return fbdouble::ServerCalls(control_->Calls()); }
  std::vector<std::string> ServerEntries() const { return fbdouble::ServerEntries(control_->Calls()); }
  std::size_t CallCount(const std::string& entry) const {
    return fbdouble::CallsTo(control_->Calls(), entry).size();
  }

  fbdouble::ScopedClientDouble client_;
  fbdouble::Control* control_ = &client_.Double();
};

// The client error number an action raises, or -1 when it raises none; the text goes to *text.
inline int ClientErrorOf(const std::function<void()>& action, std::string* text = nullptr) {
  try {
    action();
  } catch (const fbclient::EIBClientError& error) {
    EXPECT_EQ(0, error.GdsCode());
    if (text != nullptr) *text = error.what();
    return error.SQLCode();
  }
  return -1;
}

// Bytes as the double logs them.
inline std::string Hex(const std::string& bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (unsigned char byte : bytes) {
    if (!text.empty()) text += ' ';
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0x0F];
  }
  return text;
}

}  // namespace services
