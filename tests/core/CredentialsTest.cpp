#include <gtest/gtest.h>
#include <ibase.h>
#include <stdlib.h>

#include <filesystem>

#include "core/BackupJob.h"
#include "core/Credentials.h"
#include "tests/core/DoubleJobFixture.h"
#include "tests/support/CredentialsFile.h"
#include "tests/support/FileBytes.h"
#include "tests/support/FirebirdServer.h"
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
  };
  for (const Case& c : cases) {
    TempFolder folder;
    WriteCredentialsFile(folder.Path() / "credenciais", "Senha=never shown\n", c.mode);
    if (*c.accessList != '\0') {
      ASSERT_EQ(RunCommand({"setfacl", "-m", c.accessList, (folder.Path() / "credenciais").string()}), 0);
    }
    const core::CredentialsRead read = core::ReadCredentials(folder.WithSeparator());
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
  EXPECT_FALSE(core::ReadCredentials(program.WithSeparator()).credentials.service) << "no file";
  WriteCredentialsFile(program.Path() / "credenciais", "Senha=beside\n");
  WriteCredentialsFile(handedIn.Path() / "credenciais", "Senha=systemd\n", perms::owner_read);
  ASSERT_EQ(setenv("CREDENTIALS_DIRECTORY", handedIn.Path().c_str(), 1), 0);
  EXPECT_EQ(Shown(core::ReadCredentials(program.WithSeparator()).credentials.service), "SYSDBA/systemd");
  fs::create_directory(handedIn.Path() / "empty");
  ASSERT_EQ(setenv("CREDENTIALS_DIRECTORY", (handedIn.Path() / "empty").c_str(), 1), 0);
  EXPECT_EQ(Shown(core::ReadCredentials(program.WithSeparator()).credentials.service), "SYSDBA/beside")
      << "a credentials folder without the file";
  unsetenv("CREDENTIALS_DIRECTORY");
}

// The services manager gets the file's login, byte for byte, and the component keeps none of it after the
// job; a refused file stops the job before any call reaches the server.
TEST_F(DoubleJobTest, TheJobAttachesWithTheFilesLoginAndSendsNothingWhenTheFileIsRefused) {
  control_->SetForwarding(false);
  WriteCredentialsFile(folder.Path() / "credenciais", "[Servico]\nUsuario=KB\nSenha= a=b\n");
  core::JobObserver observer;
  core::BackupJob job(settings, *service, transcript, observer);
  EXPECT_EQ(job.Run(false), core::JobOutcome::Completed) << transcript.Text();
  const auto attaches = fbdouble::CallsTo(control_->Calls(), "isc_service_attach");
  ASSERT_EQ(attaches.size(), 1u);
  EXPECT_TRUE(attaches[0].args.ends_with("spbLength=12 spb=02 02 1C 02 4B 42 1D 04 20 61 3D 62"))
      << attaches[0].args;
  EXPECT_TRUE(service->Params().Empty());

  control_->ClearCalls();
  fs::permissions(folder.Path() / "credenciais", perms::others_read, fs::perm_options::add);
  EXPECT_EQ(job.Run(false), core::JobOutcome::Failed);
  EXPECT_TRUE(fbdouble::ServerCalls(control_->Calls()).empty());
  const std::string log = testsupport::ReadAll(folder.Path() / "backup" / "backup.txt");
  EXPECT_NE(log.find("credenciais foi recusado: outros usu\xE1rios podem l\xEA-lo"), std::string::npos)
      << log;
}

}  // namespace
}  // namespace testsupport
