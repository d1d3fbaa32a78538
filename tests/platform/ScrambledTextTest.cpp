#include <gtest/gtest.h>

#include <string>

#include "platform/ScrambledText.h"

namespace platform {
namespace {

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

}  // namespace
}  // namespace platform
