#include <gtest/gtest.h>

#include "core/Transcript.h"

namespace testsupport {
namespace {

TEST(Transcript, EveryKindOfLineBreakStartsOneNewLine) {
  struct Case {
    std::string added;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"one", {"one"}},
      {"", {""}},
      {"a\r\nb", {"a", "b"}},
      {"a\nb\rc", {"a", "b", "c"}},
      {"a\r\n\r\nb", {"a", "", "b"}},
      {"a\n\rb", {"a", "", "b"}},  // LF then CR is two breaks
      {"ends\r\n", {"ends"}},
      {"ends\r", {"ends"}},
  };
  for (const Case& c : cases) {
    core::Transcript transcript;
    transcript.Add(c.added);
    EXPECT_EQ(transcript.Lines(), c.lines) << c.added;
  }
}

TEST(Transcript, TheTextEndsEveryLineWithCrLf) {
  core::Transcript transcript;
  transcript.Add("Backup iniciado");
  transcript.Add("");
  transcript.Add("  first\r\nsecond");
  EXPECT_EQ(transcript.Text(), "Backup iniciado\r\n\r\n  first\r\nsecond\r\n");
  transcript.Clear();
  EXPECT_EQ(transcript.Text(), "");
}

// The output area keeps its place in the lines and its selection until the count of clearings changes;
// a count that stood still would leave it showing and copying lines of the job before.
TEST(Transcript, EveryClearingIsCounted) {
  core::Transcript transcript;
  EXPECT_EQ(transcript.Clearings(), 0u);
  transcript.Add("first job");
  transcript.Clear();
  EXPECT_EQ(transcript.Clearings(), 1u);
  transcript.Clear();  // even with nothing left to clear
  EXPECT_EQ(transcript.Clearings(), 2u);
}

}  // namespace
}  // namespace testsupport
