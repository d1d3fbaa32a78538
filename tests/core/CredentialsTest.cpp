#include <gtest/gtest.h>

#include <filesystem>

#include "core/BackupJob.h"
#include "core/Credentials.h"
#include "tests/core/JobFixture.h"
#include "tests/support/CredentialsFile.h"
#include "tests/support/FileBytes.h"
#include "tests/support/RunCommand.h"
#include "tests/support/TempFolder.h"

namespace testsupport {
namespace {
namespace fs = std::filesystem;
using fs::perms;

// "user/password" of a pair, "-" for none.
std::string Shown(const std::optional<core::ServerLogin>& login) {
  return login ? login->user + "/" + std::string(login->password.View()) : "-";
}

TEST(Credentials, EachPairAsTheFileGivesItAndOnePairServesBoth) {
  struct Case {
    const char* name;
    std::string bytes;
    const char* service;
    const char* database;
  };
  const Case cases[] = {
      {"empty values, as installed", "[Servico]\nUsuario=\nSenha=\n[Banco]\nUsuario=\nSenha=\n", "-", "-"},
      {"one pair serves both", "[Servico]\nUsuario=BACKUP\nSenha=s3\n", "BACKUP/s3", "BACKUP/s3"},
      {"the database's alone serves both", "[banco]\r\nsenha=db\r\n", "SYSDBA/db", "SYSDBA/db"},
      {"two pairs", "[Servico]\nUsuario=A\nSenha=1\n[Banco]\nUsuario=B\nSenha=2\n", "A/1", "B/2"},
      {"keys before a section, blanks around the user, first key wins",
       "\xEF\xBB\xBFUSUARIO =  ana \nSenha=x\nSenha=y\n", "ana/x", "ana/x"},
      {"a value keeps blanks, =, ; and #", "; comment\n  # comment\nSenha= a=b ;c #d \n",
       "SYSDBA/ a=b ;c #d ", "SYSDBA/ a=b ;c #d "},
      {"code page 1252 read as UTF-8", "Senha=p\xE3o\n", "SYSDBA/p\xC3\xA3o", "SYSDBA/p\xC3\xA3o"},
      {"an unknown section holds no pair", "[Outro]\nSenha=x\n", "-", "-"},
  };
  for (const Case& c : cases) {
    const core::Credentials credentials = core::ParseCredentials(c.bytes);
    EXPECT_EQ(Shown(credentials.service), c.service) << c.name;
    EXPECT_EQ(Shown(credentials.database), c.database) << c.name;
  }
}

TEST(Credentials, AFileOthersMayReadOrWriteIsRefusedWithoutAWordOfIt) {
  struct Case {
    const char* name;
    perms mode;
    const char* accessList;  // given to setfacl -m, empty for none
    bool refused;
    bool oversized = false;  // past the 64 KB a credentials file may hold
  };
  const perms ownerAndGroup = perms::owner_read | perms::owner_write | perms::group_read;
  const Case cases[] = {
      {"0640", ownerAndGroup, "", false},
      {"0660: the group may write", ownerAndGroup | perms::group_write, "", false},
      {"0644", ownerAndGroup | perms::others_read, "", true},
      {"0642", ownerAndGroup | perms::others_write, "", true},
      {"0600 and a user named in the access list", perms::owner_read | perms::owner_write, "u:41999:r", true},
      {"0600, a group named with write", perms::owner_read | perms::owner_write, "g:41999:w", true},
      {"0600, a named user the mask shuts out", perms::owner_read | perms::owner_write, "u:41999:r,m::-",
       false},
      {"0640 but longer than 64 KB", ownerAndGroup, "", true, true},
  };
  for (const Case& c : cases) {
    TempFolder folder;
    WriteCredentialsFile(folder.Path() / "credenciais",
                         "Senha=never shown\n" + std::string(c.oversized ? 64 * 1024 : 0, '\n'), c.mode);
    if (*c.accessList != '\0') {
      ASSERT_EQ(RunCommand({"setfacl", "-m", c.accessList, (folder.Path() / "credenciais").string()}), 0);
    }
    const core::CredentialsRead read =
        core::ReadCredentials(folder.WithSeparator(), platform::Current(), platform::Current());
    EXPECT_EQ(!read.problem.empty(), c.refused) << c.name << ": " << read.problem;
    EXPECT_EQ(read.credentials.service.has_value(), !c.refused) << c.name;
    EXPECT_EQ(read.problem.find("never shown"), std::string::npos);
    if (c.refused) {
      EXPECT_NE(read.problem.find(folder.WithSeparator() + "credenciais foi recusado"), std::string::npos);
    }
  }
}

TEST(Credentials, SystemdsCopyComesFirstAndNoFileMeansTheBuiltInLogin) {
  TempFolder program;
  TempFolder handedIn;
  EXPECT_FALSE(core::ReadCredentials(program.WithSeparator(), platform::Current(), platform::Current())
                   .credentials.service)
      << "no file";
  WriteCredentialsFile(program.Path() / "credenciais", "Senha=beside\n");
  WriteCredentialsFile(handedIn.Path() / "credenciais", "Senha=systemd\n", perms::owner_read);
  platform::Environment& environment = platform::Current();
  ASSERT_TRUE(environment.SetVariable("CREDENTIALS_DIRECTORY", handedIn.Path().string()));
  EXPECT_EQ(Shown(core::ReadCredentials(program.WithSeparator(), platform::Current(), platform::Current())
                      .credentials.service),
            "SYSDBA/systemd");
  fs::create_directory(handedIn.Path() / "empty");
  ASSERT_TRUE(environment.SetVariable("CREDENTIALS_DIRECTORY", (handedIn.Path() / "empty").string()));
  EXPECT_EQ(Shown(core::ReadCredentials(program.WithSeparator(), platform::Current(), platform::Current())
                      .credentials.service),
            "SYSDBA/beside")
      << "a credentials folder without the file";
  environment.UnsetVariable("CREDENTIALS_DIRECTORY");
}

// Each attach of a job goes with the file's login for it: the services manager's for the backup, the
// restore and the scratch database, the settings row's for the source; a refused file stops the job
// before anything reaches the server.
TEST_F(JobTest, TheJobAttachesWithTheFilesLoginsAndSendsNothingWhenTheFileIsRefused) {
  settings.verifyBackup = true;
  WriteCredentialsFile(folder.Path() / "credenciais",
                       "[Servico]\nUsuario=KB\nSenha= a=b\n[Banco]\nSenha=x\n");
  EXPECT_TRUE(Run().BackupMade()) << transcript.Text();
  EXPECT_EQ(server.logins, (std::vector<std::string>{"backup KB/ a=b", "restore KB/ a=b", "rows KB/ a=b",
                                                     "count KB/ a=b", "count SYSDBA/x", "drop KB/ a=b"}));

  server.logins.clear();
  server.calls.clear();
  fs::permissions(folder.Path() / "credenciais", perms::others_read, fs::perm_options::add);
  const core::JobReport report = Run();
  EXPECT_EQ(report.stop, core::StopReason::CredentialsRefused);
  EXPECT_TRUE(report.error.find("credenciais foi recusado: outros usu\xC3\xA1rios podem l\xC3\xAA-lo") !=
              std::string::npos)
      << report.error;
  EXPECT_TRUE(server.logins.empty()) << "nothing reaches the server";
  EXPECT_NE(Log().find("credenciais foi recusado: outros usu\xE1rios podem l\xEA-lo"), std::string::npos)
      << Log();
}

}  // namespace
}  // namespace testsupport
