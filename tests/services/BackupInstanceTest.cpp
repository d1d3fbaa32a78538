// The window's Backup instance as ApplyBackupInstanceSettings leaves it, password included.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "services/BackupInstance.h"
#include "tests/services/ServiceDoubleFixture.h"
#include "tests/support/Hex.h"

namespace services {
namespace {

using testsupport::FromHex;

TEST_F(ServiceDoubleTest, TheBackupInstanceLogsInAsSysdbaWithTheBuildsServicePassword) {
  TIBBackupService backup;
  ApplyBackupInstanceSettings(backup);
  EXPECT_EQ(
      (std::vector<std::string>{"user_name=SYSDBA", "password=" + FromHex(EXPECTED_SERVICE_PASSWORD_HEX)}),
      backup.Params().Lines());
  EXPECT_FALSE(backup.LoginPrompt());
  EXPECT_TRUE(backup.Verbose());
  EXPECT_EQ(0, backup.BlockingFactor());
  EXPECT_EQ(0x08u, backup.Options().Word());
  EXPECT_FALSE(backup.Active());
  EXPECT_TRUE(ServerCalls().empty());
}

// Sent to the program, the backup is the Backup instance's request without the verbose byte (107), which
// the server refuses with "stdout", and with that file; nothing else of the request changes.
TEST_F(ServiceDoubleTest, ABackupSentToTheProgramAsksForStdoutWithoutVerboseOutput) {
  TIBBackupService backup;
  ApplyTransferSettings(backup);
  backup.SetDatabaseName("/dados/app.fdb");
  backup.BuildStartRequest();
  EXPECT_EQ(FromHex("016A0E00") + "/dados/app.fdb" + FromHex("6C08000000050600") + "stdout",
            backup.StartRequest());
  EXPECT_EQ(2u, backup.Params().Count());
}

TEST(BackupInstance, ThePlainServicePasswordIsNotInThisProgramsFile) {
  const std::string password = FromHex(EXPECTED_SERVICE_PASSWORD_HEX);
  ASSERT_GE(password.size(), 4u);
  std::ifstream file("/proc/self/exe", std::ios::binary);
  ASSERT_TRUE(file);
  const std::string image((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  ASSERT_GT(image.size(), 10000u);
  EXPECT_EQ(std::string::npos, image.find(password)) << "found the plain password in the program";
}

}  // namespace
}  // namespace services
