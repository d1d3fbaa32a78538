#include "platform/Text.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "platform/FlagGuard.h"

namespace platform {
namespace {

struct TrimCase {
  std::string text;
  std::string trimmed;
};

TEST(Text, TrimRemovesEveryByteUpToTheBlankAtBothEndsOnly) {
  const TrimCase cases[] = {
      {"", ""},
      {"   ", ""},
      {"abc", "abc"},
      {"  a b  ", "a b"},
      {"\r\n\tSYSDBA\r\n", "SYSDBA"},
      {std::string("\x01\x1F x\x7F \x1F", 7), "x\x7F"},
      {"\xE7\xE3o ", "\xE7\xE3o"},  // bytes above 127 are letters of the code page, never blanks
      {std::string("a\0b", 3), std::string("a\0b", 3)},
  };
  for (const TrimCase& c : cases)
    EXPECT_EQ(c.trimmed, Trim(c.text)) << '"' << c.text << '"';
}

TEST(Text, BlankMeansNothingButBytesUpToTheBlank) {
  EXPECT_TRUE(IsBlank(""));
  EXPECT_TRUE(IsBlank(" \t\r\n\x01"));
  EXPECT_FALSE(IsBlank("  x  "));
  EXPECT_FALSE(IsBlank("\xA0"));
}

TEST(Text, AsciiLowerChangesOnlyTheLettersAToZ) {
  EXPECT_EQ("isc_spb_user_name", AsciiLower("ISC_SPB_User_Name"));
  EXPECT_EQ("\xC7\xC3o: 1-9 @[`{", AsciiLower("\xC7\xC3O: 1-9 @[`{"));
  EXPECT_EQ('a', AsciiLower('A'));
  EXPECT_EQ('@', AsciiLower('@'));
  EXPECT_EQ('[', AsciiLower('['));
}

TEST(Text, UpperFollowsTheCLocale) {
  // The tests run in the C locale, where only 'a' to 'z' have an upper case.
  EXPECT_EQ("TCP/IP", Upper("tcp/ip"));
  EXPECT_EQ("RDB$DB_KEY 1", Upper("rdb$db_key 1"));
  EXPECT_EQ("\xE7", Upper("\xE7"));
}

TEST(FlagGuard, TheFlagIsSetWhileTheGuardLivesAndClearedHoweverItGoes) {
  bool running = false;
  {
    FlagGuard guard(running);
    EXPECT_TRUE(running);
  }
  EXPECT_FALSE(running);
  EXPECT_THROW(
      {
        FlagGuard guard(running);
        ASSERT_TRUE(running);
        throw std::runtime_error("job failed");
      },
      std::runtime_error);
  EXPECT_FALSE(running);
}

}  // namespace
}  // namespace platform
