#include <gtest/gtest.h>

#include "ConnectionParams.h"

namespace db {
namespace {

TEST(ConnectionParams, KeysIgnoreLetterCaseAndKeepTheirOrder) {
  ConnectionParams params({"USER NAME=SYSDBA", "SERVER=localhost"});
  EXPECT_EQ("SYSDBA", params.Value("user name"));
  params.Set("server", "db1");
  params.Set("PATH", "/data/x.fdb");
  EXPECT_EQ((std::vector<std::string>{"USER NAME=SYSDBA", "server=db1", "PATH=/data/x.fdb"}), params.Lines());
}

TEST(ConnectionParams, AnEmptyValueRemovesTheLineAndAMissingKeyReadsEmpty) {
  ConnectionParams params({"PATH=a", "ROLE=r"});
  params.Set("PATH", "");
  EXPECT_FALSE(params.Has("PATH"));
  EXPECT_EQ("", params.Value("NOTHING"));
  EXPECT_FALSE(params.Find("NOTHING").has_value());
  // A line with a key but no "=" still counts as present, with an empty value.
  params.SetLines({"SYSDBA"});
  ASSERT_TRUE(params.Find("SYSDBA").has_value());
  EXPECT_EQ("", *params.Find("SYSDBA"));
}

TEST(ConnectionParams, ValuesMayContainEqualsSigns) {
  ConnectionParams params({"FORCED_DATABASE=srv:/a=b.fdb"});
  EXPECT_EQ("srv:/a=b.fdb", params.Value("FORCED_DATABASE"));
}

}  // namespace
}  // namespace db
