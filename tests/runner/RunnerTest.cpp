#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "tests/support/AppDatabase.h"
#include "tests/support/FirebirdServer.h"
#include "tests/support/TempFolder.h"

namespace testsupport {
namespace {
namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A program folder as the package installs it: the runner and its sistema.ini side by side.
class ProgramFolder {
 public:
  ProgramFolder() { fs::copy_file(RUNNER_BINARY, Program()); }
  fs::path Program() const { return folder_.Path() / "kelmora-backup-run"; }
  fs::path Path() const { return folder_.Path(); }
  void WriteIni(const std::string& location) const {
    folder_.Write("sistema.ini", "[Dados]\r\nDir=" + location + "\r\n[Backup]\r\nSistema=Linux\r\n");
  }
  // Standard output and error together.
  int Run(std::string& output, const std::vector<std::string>& arguments = {}) const {
    std::vector<std::string> argv = {Program().string()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return RunCommand(argv, &output);
  }

 private:
  TempFolder folder_;
};

TEST(Runner, SuccessfulBackupExitsZeroPrintsTheServerLinesAndLogsTheAutomaticBlock) {
  FirebirdServer& server = FirebirdServer::Shared();
  const auto database = CreateAppDatabase(server, "RUN_OK");
  ProgramFolder folder;
  folder.WriteIni(server.Location(database));
  std::string output;
  ASSERT_EQ(folder.Run(output), 0) << output;

  // The terminal gets UTF-8 and the server's lines; the log keeps code page 1252 and the job's own lines.
  EXPECT_NE(output.find("Backup conclu\xC3\xAD"
                        "do."),
            std::string::npos)
      << output;
  EXPECT_NE(output.find("gbak:    writing data for table SIS_BACKUP \n"), std::string::npos) << output;
  const std::string log = ReadAll(folder.Path() / "backup" / "backup.txt");
  EXPECT_NE(log.find("Backup conclu\xED"
                     "do.\r\n"),
            std::string::npos)
      << log;
  EXPECT_EQ(log.find("gbak:"), std::string::npos) << "the server's lines stay out of an automatic block";
  int backups = 0;
  for (const auto& entry : fs::directory_iterator(folder.Path() / "backup"))
    backups += entry.path().extension() == ".gbk" && entry.path().filename().string().starts_with("RUN_OK_");
  EXPECT_EQ(backups, 1);
}

TEST(Runner, EachKindOfFailureHasItsOwnExitCode) {
  struct Case {
    const char* name;
    // Prepares the program folder; returns the location for sistema.ini (nothing written when empty).
    std::function<std::string(const ProgramFolder&)> prepare;
    int exitCode;
    const char* printed;
  };
  FirebirdServer& server = FirebirdServer::Shared();
  const auto database = CreateAppDatabase(server, "RUN_FAIL");
  const std::string location = server.Location(database);
  AppDatabaseOptions noCopyFolder;
  noCopyFolder.row->copyFolder = "/nonexistent/kelmora-copies/";
  const std::string copyLocation = server.Location(CreateAppDatabase(server, "RUN_COPY", noCopyFolder));
  const Case cases[] = {
      {"no sistema.ini", [](const ProgramFolder&) { return std::string(); }, 3, "SISTEMA.INI"},
      {"server down",
       [](const ProgramFolder&) {
         return "localhost/" + std::to_string(FreeLoopbackPort()) + ":/nowhere/app.fdb";
       },
       4, "O servidor de banco de dados n\xC3\xA3o respondeu."},
      {"backup folder is a file",
       [&](const ProgramFolder& folder) {
         std::ofstream(folder.Path() / "backup") << "not a folder";
         return location;
       },
       8, "I/O error 20"},
      {"log is a folder",
       [&](const ProgramFolder& folder) {
         fs::create_directories(folder.Path() / "backup" / "backup.txt");
         return location;
       },
       8, "I/O error 21"},
      {"copy folder missing", [&](const ProgramFolder&) { return copyLocation; }, 9,
       "Erro copiando /nonexistent/kelmora-copies/RUN_COPY_"},
      {"database missing",
       [&](const ProgramFolder&) { return server.Location(server.DataDir() / "NONE.FDB"); }, 6,
       "As configura\xC3\xA7\xC3\xB5"
       "es de backup n\xC3\xA3o foram lidas"},
  };
  for (const Case& c : cases) {
    ProgramFolder folder;
    if (const std::string dir = c.prepare(folder); !dir.empty()) folder.WriteIni(dir);
    std::string output;
    EXPECT_EQ(folder.Run(output), c.exitCode) << c.name << "\n" << output;
    EXPECT_NE(output.find(c.printed), std::string::npos) << c.name << "\n" << output;
  }
}

TEST(Runner, WrongPasswordIsLoginRefused) {
  // A server of its own, whose SYSDBA password no longer is the one the runner was built with.
  FirebirdServer server;
  const auto database = CreateAppDatabase(server, "RUN_LOGIN");
  std::string isql;
  ASSERT_EQ(server.RunIsql("CONNECT '" + server.Location(database) +
                               "';\nALTER USER SYSDBA PASSWORD 'changed';\nCOMMIT;\n",
                           &isql),
            0)
      << isql;
  ProgramFolder folder;
  folder.WriteIni(server.Location(database));
  std::string output;
  EXPECT_EQ(folder.Run(output), 5) << output;
  EXPECT_NE(output.find("recusou o usu\xC3\xA1rio e a senha"), std::string::npos) << output;
  EXPECT_FALSE(fs::exists(folder.Path() / "backup")) << "no job starts without the settings row";
}

TEST(Runner, HelpListsEveryExitCodeAndAnUnknownArgumentIsAUsageError) {
  ProgramFolder folder;
  std::string help;
  EXPECT_EQ(folder.Run(help, {"--help"}), 0);
  for (const char* line : {"   0  backup feito", "   3  sistema.ini ausente", "   4  servidor de banco",
                           "   5  usu\xC3\xA1rio ou senha", "   8  pasta de backup",
                           "   9  backup feito, mas n", "  10  backup feito, mas n\xC3\xA3o verificado"})
    EXPECT_NE(help.find(line), std::string::npos) << line << "\n" << help;
  std::string output;
  EXPECT_EQ(folder.Run(output, {"MANUAL"}), 2);
  EXPECT_NE(output.find("Argumento desconhecido: MANUAL"), std::string::npos) << output;
}

}  // namespace
}  // namespace testsupport
