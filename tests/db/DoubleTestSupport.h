#pragma once

// Tests that load the recording client double instead of the real client library.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BackupSettingsSource.h"
#include "ClientLibrary.h"
#include "tests/db/TestSystem.h"
#include "tests/double/DoubleLoader.h"
#include "tests/double/FbDouble.h"

namespace db::testing {

class DoubleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    control_ = &fbdouble::LoadVariant("full");
    SetClientLibraryFileNames({fbdouble::VariantPath("full")});
  }
  void TearDown() override {
    control_->Reset();
    SetClientLibraryFileNames(DefaultClientLibraryFileNames());
  }
  fbdouble::Control& Double() const { return *control_; }
  std::vector<fbdouble::Call> ServerCalls() const { return fbdouble::ServerCalls(control_->Calls()); }
  std::vector<std::string> ServerEntries() const { return fbdouble::ServerEntries(control_->Calls()); }

 private:
  fbdouble::Control* control_ = nullptr;
};

// The program's settings source against the double, which answers without a server, for a database
// on another machine.
class SourceDoubleTest : public DoubleTest {
 protected:
  void SetUp() override {
    DoubleTest::SetUp();
    Double().SetForwarding(false);
    source_.IBODatabase.SetDatabaseName("dbhost:/data/app.fdb");
  }

  TestSystem system_;
  BackupSettingsSource source_{system_};
};

// The value of "key=" in a recorded argument list, up to the next blank (or the closing quote of a
// quoted text).
std::string Arg(const fbdouble::Call& call, const std::string& key);
std::string OutArg(const fbdouble::Call& call, const std::string& key);

// An information reply: items of (code, data) and the end byte.
std::vector<unsigned char> InfoReply(
    const std::vector<std::pair<unsigned char, std::vector<unsigned char>>>& items);

}  // namespace db::testing
