#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/LinuxSystem.h"
#include "tests/support/TempFolder.h"

namespace testsupport {
namespace {

platform::LinuxSystem machine;

TEST(RunProgram, GivesTheInputAndTheExitCodeAndKeepsTheOutputAway) {
  TempFolder folder;
  const std::string seen = (folder.Path() / "seen").string();
  // Reads its input, says so on both streams (which must not reach ours), and exits with a code that
  // tells whether the input arrived whole.
  const std::string script = "read line; echo \"$line\" > '" + seen +
                             "'; echo noise; echo noise >&2; "
                             "test \"$line\" = 'url = \"x\"' && exit 3; exit 4";
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  const int exitCode = machine.RunProgram("/bin/sh", {"-c", script}, "url = \"x\"\n");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(exitCode, 3);
  std::ifstream in(seen);
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "url = \"x\"");
}

TEST(RunProgram, AProgramThatIgnoresItsInputOrCannotRunOrIsKilled) {
  // A large input to a program that never reads it must not end this process (SIGPIPE).
  EXPECT_EQ(machine.RunProgram("/bin/sh", {"-c", "exit 0"}, std::string(1 << 20, 'x')), 0);
  EXPECT_EQ(machine.RunProgram("/nonexistent/curl", {}, ""), -1);
  EXPECT_EQ(machine.RunProgram("/bin/sh", {"-c", "kill -TERM $$"}, ""), -1);
}

}  // namespace
}  // namespace testsupport
