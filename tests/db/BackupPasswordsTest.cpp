#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "BackupPasswords.h"
#include "tests/support/Hex.h"

namespace db {
namespace {

using testsupport::FromHex;

TEST(BackupPasswords, TheDatabasePasswordIsTheBuilds) {
  EXPECT_EQ(FromHex(EXPECTED_DATABASE_PASSWORD_HEX), BackupDatabasePassword());
}

TEST(BackupPasswords, ItsPlainTextIsNotInThisProgramsFile) {
  std::ifstream file("/proc/self/exe", std::ios::binary);
  ASSERT_TRUE(file);
  const std::string image((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  ASSERT_GT(image.size(), 10000u);
  const std::string password = BackupDatabasePassword();
  ASSERT_GE(password.size(), 4u);
  EXPECT_EQ(std::string::npos, image.find(password)) << "found the plain password in the program";
}

}  // namespace
}  // namespace db
