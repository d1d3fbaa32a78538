#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "db/BackupPasswords.h"

namespace db {
namespace {

std::string FromHex(const std::string& hex) {
  std::string text;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    text += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return text;
}

TEST(BackupPasswords, AreTheBuildsPasswords) {
  EXPECT_EQ(FromHex(EXPECTED_DATABASE_PASSWORD_HEX), BackupDatabasePassword());
  EXPECT_EQ(FromHex(EXPECTED_SERVICE_PASSWORD_HEX), BackupServicePassword());
}

TEST(BackupPasswords, NeitherPlainTextIsInThisProgramsFile) {
  std::ifstream file("/proc/self/exe", std::ios::binary);
  ASSERT_TRUE(file);
  const std::string image((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  ASSERT_GT(image.size(), 10000u);
  for (const std::string& password : {BackupDatabasePassword(), BackupServicePassword()}) {
    ASSERT_GE(password.size(), 4u);
    EXPECT_EQ(std::string::npos, image.find(password)) << "found the plain password in the program";
  }
}

}  // namespace
}  // namespace db
