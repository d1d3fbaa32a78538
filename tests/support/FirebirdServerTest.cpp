#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>

#include <memory>
#include <set>

#include "tests/support/AppDatabase.h"
#include "tests/support/FirebirdServer.h"

namespace testsupport {
namespace {

TEST(PrivateServer, RunsBesideAServerOnTheStandardPortWithoutTouchingIt) {
  // A server on 3050 with its own root and lock folder stands for the system's. When something
  // already listens there (a real system server), it is left alone and only coexistence is checked.
  std::unique_ptr<FirebirdServer> standard;
  try {
    standard = std::make_unique<FirebirdServer>(3050);
  } catch (const std::exception&) {
  }
  // The names in the other server's folders: its own activity changes its files, ours must add none.
  const auto snapshot = [&] {
    std::set<std::string> names;
    if (!standard) return names;
    for (const auto& dir : {standard->RootDir(), standard->LockDir()}) {
      for (const auto& entry : std::filesystem::recursive_directory_iterator(dir))
        names.insert(entry.path());
    }
    return names;
  };
  if (standard) CreateAppDatabase(*standard, "standard_before");
  const auto before = snapshot();

  FirebirdServer& server = FirebirdServer::Shared();
  EXPECT_NE(server.Port(), 3050);
  const auto db = CreateAppDatabase(server, "beside_standard");
  std::string output;
  ASSERT_EQ(0, server.RunGbak({"-b", db.string(), (server.DataDir() / "beside.gbk").string()}, &output))
      << output;
  EXPECT_EQ(snapshot(), before) << "nothing of the other server may change";
  if (standard) {
    EXPECT_TRUE(standard->Running());
    EXPECT_NO_THROW(CreateAppDatabase(*standard, "standard_after")) << "the other server still serves";
  }
}

uid_t OwnerOf(const std::filesystem::path& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 ? status.st_uid : static_cast<uid_t>(-1);
}

TEST(PrivateServer, RunsUnderAnUnprivilegedAccountThatOwnsItsFolders) {
  if (!RunningAsRoot()) GTEST_SKIP() << kNeedsRoot;
  const Account account = ServerAccount();
  ASSERT_EQ(::getpwuid(account.uid), nullptr) << "no account of this machine has the id";
  FirebirdServer server(account);
  ASSERT_TRUE(server.Running());
  for (const auto& folder :
       {server.RootDir(), server.LockDir(), server.DataDir(), server.RootDir().parent_path()})
    EXPECT_EQ(OwnerOf(folder), account.uid) << folder;
  EXPECT_EQ(OwnerOf(server.RootDir() / "security3.fdb"), account.uid);

  // What the server makes is made by its account: the database and a backup through the services manager.
  const auto db = CreateAppDatabase(server, "support_account");
  EXPECT_EQ(OwnerOf(db), account.uid);
  const auto gbk = server.DataDir() / "support_account.gbk";
  std::string output;
  ASSERT_EQ(0, server.RunGbak({"-b", db.string(), gbk.string()}, &output)) << output;
  EXPECT_EQ(OwnerOf(gbk), account.uid);
  // And it cannot write where its account may not.
  const auto rootsFolder = std::filesystem::path(::testing::TempDir()) / "kelmora-not-the-servers";
  std::filesystem::create_directories(rootsFolder);
  std::filesystem::permissions(rootsFolder, std::filesystem::perms::owner_all);
  EXPECT_NE(0, server.RunGbak({"-b", db.string(), (rootsFolder / "refused.gbk").string()}, &output));
  EXPECT_FALSE(std::filesystem::exists(rootsFolder / "refused.gbk"));
  std::filesystem::remove_all(rootsFolder);
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
