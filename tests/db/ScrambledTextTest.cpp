#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "connection/ScrambledText.h"
#include "db/BackupPasswords.h"

namespace db {
namespace {

std::string FromHex(const std::string& hex) {
  std::string text;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    text += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return text;
}

TEST(ScrambledText, CompileTimeScramblingRoundTripsAndHidesThePlainBytes) {
  constexpr auto scrambled = Scramble("aaaaaaaa");
  EXPECT_EQ("aaaaaaaa", Unscramble(scrambled));
  // The same character scrambles differently at each position.
  int equalNeighbours = 0;
  for (std::size_t i = 1; i < scrambled.bytes.size(); ++i)
    equalNeighbours += scrambled.bytes[i] == scrambled.bytes[i - 1];
  EXPECT_LT(equalNeighbours, 3);
  EXPECT_EQ(std::string(), Unscramble(Scramble("")));
}

TEST(ScrambledText, RunTimeScramblingDependsOnTheKey) {
  const std::string one = ScrambleBytes("segredo", "key-one");
  const std::string two = ScrambleBytes("segredo", "key-two");
  EXPECT_NE(one, two);
  EXPECT_NE("segredo", one);
  EXPECT_EQ("segredo",
            UnscrambleBytes(reinterpret_cast<const unsigned char*>(one.data()), one.size(), "key-one"));
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
