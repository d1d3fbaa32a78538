#include <gtest/gtest.h>

#include "tests/support/AppDatabase.h"
#include "tests/support/FirebirdServer.h"

namespace testsupport {
namespace {

TEST(PrivateServer, ListensOnItsOwnLoopbackPortAndAcceptsSysdba) {
  FirebirdServer& server = FirebirdServer::Shared();
  ASSERT_TRUE(server.Running());
  EXPECT_NE(server.Port(), 3050);
  const auto db = CreateAppDatabase(server, "support");
  std::string output;
  ASSERT_EQ(0, server.RunIsql("CONNECT '" + server.Location(db) + "' USER 'SYSDBA' PASSWORD 'tidewater';\n"
                              "SELECT HR_BACKUP_1, NR_DIAS FROM SIS_BACKUP;\n",
                              &output))
      << output;
  EXPECT_NE(output.find("08:00"), std::string::npos) << output;
}

TEST(PrivateServer, RefusesAnotherPassword) {
  FirebirdServer& server = FirebirdServer::Shared();
  const auto db = CreateAppDatabase(server, "support_password");
  std::string output;
  server.RunIsql("CONNECT '" + server.Location(db) + "' USER 'SYSDBA' PASSWORD 'masterkey';\n", &output);
  EXPECT_NE(output.find("password"), std::string::npos) << output;
}

TEST(PrivateServer, BackupThroughServicesManagerRestores) {
  FirebirdServer& server = FirebirdServer::Shared();
  const auto db = CreateAppDatabase(server, "support_gbak");
  const auto gbk = server.DataDir() / "support_gbak.gbk";
  const auto restored = server.DataDir() / "support_restored.fdb";
  std::string output;
  ASSERT_EQ(0, server.RunGbak({"-b", "-v", db.string(), gbk.string()}, &output)) << output;
  ASSERT_EQ(0, server.RunGbak({"-c", gbk.string(), restored.string()}, &output)) << output;
  ASSERT_EQ(0, server.RunIsql("CONNECT '" + server.Location(restored) +
                                  "' USER 'SYSDBA' PASSWORD 'tidewater';\nSELECT HR_BACKUP_2 FROM SIS_BACKUP;\n",
                              &output))
      << output;
  EXPECT_NE(output.find("12:00"), std::string::npos) << output;
}

TEST(PrivateServer, StopsAndStartsAgain) {
  FirebirdServer server;
  EXPECT_TRUE(server.Running());
  server.Stop();
  EXPECT_FALSE(server.Running());
  server.Start();
  EXPECT_TRUE(server.Running());
}

}  // namespace
}  // namespace testsupport
