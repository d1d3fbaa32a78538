// The job as users have it on a stock machine: the server runs under its own account, the program under a
// desktop user's, from folders whose names have accents. Both accounts are unprivileged numeric ids that
// no account of the machine has.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <memory>

#include "tests/e2e/support/Desktop.h"
#include "tests/e2e/support/JobSteps.h"
#include "tests/support/Accounts.h"
#include "tests/support/AppDatabase.h"
#include "tests/support/LogBlock.h"
#include "tests/support/TempFolder.h"

namespace testsupport {
namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;

struct Deployment {
  const char* name;
  // The folder names as the file system has them (UTF-8) and as the log must name them (code page 1252).
  const char* programFolder;
  const char* programFolderInLog;
  const char* copyFolder;
  const char* copyFolderInLog;
  bool serverUnderItsAccount;
};

std::string NameOf(const ::testing::TestParamInfo<Deployment>& info) {
  return info.param.name;
}

std::vector<fs::path> BackupsIn(const fs::path& folder) {
  std::vector<fs::path> files;
  if (!fs::is_directory(folder)) return files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() == ".gbk") files.push_back(entry.path());
  }
  return files;
}

// Whether the account can read the file and then delete it, as that user would with cat and rm.
void ExpectTheUserReadsAndDeletes(const Account& user, const fs::path& file) {
  std::string output;
  EXPECT_EQ(0, RunCommand(AsAccount(user, {"head", "-c", "16", "--", file.string()}), &output))
      << "read " << file << ": " << output;
  EXPECT_EQ(0, RunCommand(AsAccount(user, {"rm", "-f", "--", file.string()}), &output))
      << "delete " << file << ": " << output;
  EXPECT_FALSE(fs::exists(file)) << file;
}

// Names the case in test output instead of its bytes.
void PrintTo(const Deployment& value, std::ostream* out) {
  *out << value.name;
}

class DeployedJob : public ::testing::TestWithParam<Deployment> {};

TEST_P(DeployedJob, IniciarBacksUpAndCopiesAndTheUserOwnsWhatIsLeft) {
  if (!RunningAsRoot()) GTEST_SKIP() << kNeedsRoot;
  const Deployment& deployment = GetParam();
  const Account user = DesktopAccount();
  const std::unique_ptr<FirebirdServer> server = deployment.serverUnderItsAccount
                                                     ? std::make_unique<FirebirdServer>(ServerAccount())
                                                     : std::make_unique<FirebirdServer>();

  // The program folder lies where both accounts reach it (a home folder made by adduser is 0700).
  TempFolder parent;
  fs::permissions(parent.Path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                     fs::perms::others_read | fs::perms::others_exec);
  const fs::path copies = parent.Path() / deployment.copyFolder;
  fs::create_directory(copies);
  fs::permissions(copies, fs::perms::owner_all);
  GiveTo(copies, user);

  AppDatabaseOptions options;
  options.row->copyFolder = parent.Path().string() + "/" + deployment.copyFolderInLog + "/";
  options.recordDisconnects = true;
  const fs::path database = CreateAppDatabase(*server, "DEPLOYED", options);
  ProgramFolder folder(parent.Path(), deployment.programFolder, user);
  // The account the server writes as; with a packaged server it is "firebird", the default.
  folder.WriteIni("[Dados]\r\nDir=" + server->Location(database) + "\r\n[Backup]\r\nSistema=Linux\r\n" +
                  "ContaServidor=" + std::to_string(ServerAccount().uid) + "\r\n");

  XDisplay display;
  RunningProgram program(display, folder, {"MANUAL"}, user);
  const std::string window = display.WaitForWindow("^Backup$");
  ASSERT_FALSE(window.empty()) << program.Output();
  ASSERT_TRUE(WaitForDisconnect(*server, database, program.Pid(), 60s)) << "the settings row was never read";
  ClickIniciar(display, window);
  const std::string log = WaitForLogBlock(folder.Path() / "backup" / "backup.txt", 120s);
  display.Screenshot(SCREENSHOT_DIR "/deployed-job-" + std::string(deployment.name) + ".png");

  ASSERT_NE(log.find(kBackupDone), std::string::npos) << log << program.Output();
  const std::string programInLog = parent.Path().string() + "/" + deployment.programFolderInLog;
  const std::string copiesInLog = parent.Path().string() + "/" + deployment.copyFolderInLog;
  EXPECT_NE(log.find("Realizando o backup para " + programInLog + "/backup/DEPLOYED_"), std::string::npos)
      << log;
  EXPECT_NE(log.find("Copiando o backup para " + copiesInLog + "/DEPLOYED_"), std::string::npos) << log;
  EXPECT_EQ(log.find("Erro copiando"), std::string::npos) << log;

  const auto backups = BackupsIn(folder.Path() / "backup");
  ASSERT_EQ(backups.size(), 1u);
  const fs::path backup = backups.front();
  const fs::path copy = copies / backup.filename();
  ASSERT_TRUE(fs::exists(copy));
  EXPECT_EQ(fs::file_size(copy), fs::file_size(backup));

  // The backup restores through the same server, under its account.
  const fs::path restored = server->DataDir() / "DEPLOYED_RESTORED.fdb";
  std::string output;
  ASSERT_EQ(0, server->RunGbak({"-c", backup.string(), restored.string()}, &output)) << output;
  ASSERT_EQ(
      0, server->RunIsql("CONNECT '" + server->Location(restored) +
                             "' USER 'SYSDBA' PASSWORD 'tidewater';\nSELECT HR_BACKUP_1 FROM SIS_BACKUP;\n",
                         &output))
      << output;
  EXPECT_NE(output.find("08:00"), std::string::npos) << output;

  // A backup holds the whole business database: nobody else reads it, nobody else writes beside it.
  for (const fs::path& kept : {folder.Path() / "backup", backup, copy})
    EXPECT_EQ(fs::status(kept).permissions() & fs::perms::others_all, fs::perms::none) << kept;
  ExpectTheUserReadsAndDeletes(user, backup);
  ExpectTheUserReadsAndDeletes(user, copy);
  EXPECT_TRUE(program.Running()) << program.Output();
}

INSTANTIATE_TEST_SUITE_P(Deployments, DeployedJob,
                         ::testing::Values(Deployment{"AsciiNamesServerAsRoot", "Copia de Seguranca",
                                                      "Copia de Seguranca", "copia", "copia", false},
                                           Deployment{"AsciiNamesServerUnderItsAccount", "Copia de Seguranca",
                                                      "Copia de Seguranca", "copia", "copia", true},
                                           Deployment{"AccentedNamesServerAsRoot",
                                                      "C\xC3\xB3pia de Seguran\xC3\xA7"
                                                      "a",
                                                      "C\xF3pia de Seguran\xE7"
                                                      "a",
                                                      "c\xC3\xB3pia", "c\xF3pia", false},
                                           // The deployment users have.
                                           Deployment{"AccentedNamesServerUnderItsAccount",
                                                      "C\xC3\xB3pia de Seguran\xC3\xA7"
                                                      "a",
                                                      "C\xF3pia de Seguran\xE7"
                                                      "a",
                                                      "c\xC3\xB3pia", "c\xF3pia", true},
                                           // "=" is a character of names like any other.
                                           Deployment{"EqualsSignInTheNames", "Backup a=b", "Backup a=b",
                                                      "c\xC3\xB3pia=1", "c\xF3pia=1", true}),
                         NameOf);

}  // namespace
}  // namespace testsupport
