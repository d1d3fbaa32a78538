// The package the build made, as Debian's checker sees it: no error. What else lintian says is printed, so
// that a run shows the warnings and notes that remain.
#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/FirebirdServer.h"

namespace testsupport {
namespace {

TEST(DebianPackage, LintianFindsNoError) {
  std::string output;
  const int code = RunCommand({"lintian", "--pedantic", "--display-info", DEBIAN_PACKAGE}, &output);
  std::vector<std::string> errors;
  std::string remaining;
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("E: ")) errors.push_back(line);
    if (line.starts_with("W: ") || line.starts_with("I: ") || line.starts_with("P: "))
      remaining += line + "\n";
  }
  EXPECT_TRUE(errors.empty()) << output;
  EXPECT_EQ(code, 0) << output;
  std::cout << "lintian, besides its overrides:\n" << (remaining.empty() ? "(nothing)\n" : remaining);
}

}  // namespace
}  // namespace testsupport
