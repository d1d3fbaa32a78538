// The runner as a timer or Task Scheduler starts it, against the client library double that replays a
// server's answers (FBDOUBLE_REPLAY): the same program on Linux and, built for Windows, under Wine. The
// expected log block is written out once; both systems must write exactly these bytes.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>

#include "platform/Cp1252.h"
#include "platform/Machine.h"
#include "tests/support/FileBytes.h"
#include "tests/support/LogBlock.h"
#include "tests/support/RunCommand.h"
#include "tests/support/TempFolder.h"

namespace testsupport {
namespace {
namespace fs = std::filesystem;

// Each system's own: backslashes and a server of the Windows form there, slashes and Linux here.
const bool kWindows = fs::path::preferred_separator == '\\';

std::string Utf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// The row of SIS_BACKUP as the application writes it, with the copy folder given (code page 1252).
std::string SettingsRow(const std::string& cp1252CopyFolder) {
  return "column SIS_BACKUP ID_BACKUP integer 1\n"
         "column SIS_BACKUP HR_BACKUP_1 varchar(5) 08:00\n"
         "column SIS_BACKUP HR_BACKUP_2 varchar(5) 12:00\n"
         "column SIS_BACKUP HR_BACKUP_3 varchar(5)\n"
         "column SIS_BACKUP HR_BACKUP_4 varchar(5)\n"
         "column SIS_BACKUP TX_DIR_HDD varchar(200) " +
         cp1252CopyFolder +
         "\n"
         "column SIS_BACKUP TX_DIR_CDR varchar(200)\n"
         "column SIS_BACKUP TP_COMPACTAR varchar(1) N\n"
         "column SIS_BACKUP TX_SENHA varchar(20)\n"
         "column SIS_BACKUP TX_FTP_SERVIDOR varchar(60)\n"
         "column SIS_BACKUP TX_FTP_PORTA varchar(10)\n"
         "column SIS_BACKUP TX_FTP_USUARIO varchar(40)\n"
         "column SIS_BACKUP TX_FTP_SENHA varchar(40)\n"
         "column SIS_BACKUP TX_FTP_DIRETORIO varchar(200)\n"
         "column SIS_BACKUP NR_DIAS integer 7\n"
         "column SIS_BACKUP ID_USUARIO integer 1\n"
         "column SIS_BACKUP DT_ATUALIZACAO timestamp\n";
}

// A program folder with an accent in its name, as an office names it: the runner, the double beside it
// as the client library, sistema.ini naming the database as the server's own system writes its paths.
class ProgramFolder {
 public:
  ProgramFolder() : path_(temp_.Path() / u8"Programação") {
    fs::create_directory(path_);
    fs::copy_file(RUNNER_BINARY, path_ / fs::path(RUNNER_BINARY).filename());
    fs::copy_file(CLIENT_DOUBLE, path_ / fs::path(CLIENT_DOUBLE).filename());
    std::ofstream(path_ / "sistema.ini", std::ios::binary)
        << "[Dados]\r\nDir=dbhost:" << (kWindows ? "C:\\Dados\\APP.FDB" : "/dados/APP.FDB")
        << "\r\n[Backup]\r\nSistema=" << (kWindows ? "Windows" : "Linux")
        << "\r\nContaServidor=kelmora-no-such-account\r\n";
  }
  fs::path Path() const { return path_; }
  fs::path Base() const { return temp_.Path(); }
  fs::path Backups() const { return path_ / "backup"; }
  // Standard output and error together.
  int Run(const std::string& replay, std::string& output,
          const std::vector<std::string>& arguments = {}) const {
    std::ofstream(temp_.Path() / "replay.txt", std::ios::binary) << replay;
    std::vector<std::string> argv = {Utf8(path_ / fs::path(RUNNER_BINARY).filename())};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<std::string> environment = {"FBDOUBLE_REPLAY=" + Utf8(temp_.Path() / "replay.txt")};
    // Windows looks beside the program first; the Linux loader only where it is told.
    if (!kWindows) environment.push_back("LD_LIBRARY_PATH=" + Utf8(path_));
    return RunCommand(argv, &output, environment);
  }

 private:
  TempFolder temp_;
  fs::path path_;
};

// The block with what is each run's own put in words: the clock's digits, the backup folder as the
// server was told it (its separators are the server system's) and the copy folder.
std::string Masked(std::string block, const ProgramFolder& folder, const std::string& copyFolder) {
  const std::string programFolder = cp1252::FromUtf8(Utf8(folder.Path()));
  for (const char separator : {'/', '\\'}) {
    const std::string backups = programFolder + separator + "backup" + separator;
    for (std::size_t at; (at = block.find(backups)) != std::string::npos;)
      block.replace(at, backups.size(), "<backup>/");
  }
  for (std::size_t at; (at = block.find(copyFolder)) != std::string::npos;)
    block.replace(at, copyFolder.size(), "<copia>/");
  block = std::regex_replace(block, std::regex(R"(\d\d/\d\d/\d{4} \d\d:\d\d:\d\d)"), "DD/MM/AAAA hh:mm:ss");
  return std::regex_replace(block, std::regex(R"(_\d{8}_\d{4}\.gbk)"), "_AAAAMMDD_hhmm.gbk");
}

TEST(ReplayedRunner, AWholeJobWritesTheSameBlockOnEverySystemCopiesAndCleansUp) {
  ProgramFolder folder;
  fs::create_directory(folder.Backups());
  const auto age = [&](const char* name, std::chrono::hours age) {
    std::ofstream(folder.Backups() / name) << "older";
    fs::last_write_time(folder.Backups() / name, fs::file_time_type::clock::now() - age);
  };
  age("APP_20200101_0800.gbk", std::chrono::hours(24 * 30));
  age("APP_ontem.gbk", std::chrono::hours(24));
  fs::create_directory(folder.Base() / u8"cópias");
  const std::string copyFolder = cp1252::FromUtf8(Utf8(folder.Base() / u8"cópias")) + (kWindows ? "\\" : "/");
  // The copy is checked against the bytes the server says it wrote: the file's ten.
  const std::string replay = SettingsRow(copyFolder) +
                             "line gbak:readied database /dados/APP.FDB for backup\n"
                             "line gbak:    writing data for table SIS_BACKUP \n"
                             "line gbak:closing file, committing, and finishing. 10 bytes written\n"
                             "backup GBAK-BYTES\n";
  std::string output;
  ASSERT_EQ(folder.Run(replay, output), 0) << output;

  EXPECT_EQ(Masked(ReadAll(folder.Backups() / "backup.txt"), folder, copyFolder),
            "Backup iniciado em DD/MM/AAAA hh:mm:ss\r\n\r\n"
            "Realizando o backup para <backup>/APP_AAAAMMDD_hhmm.gbk\r\n\r\n" +
                kBackupDone +
                "\r\n"
                "Copiando o backup para <copia>/APP_AAAAMMDD_hhmm.gbk\r\n\r\n"
                "Backup encerrado em DD/MM/AAAA hh:mm:ss\r\n\r\n" +
                kLogBlockEnd);
  EXPECT_NE(output.find("gbak:    writing data for table SIS_BACKUP"), std::string::npos)
      << "the server's lines reach the terminal\n"
      << output;

  std::vector<std::string> entries;
  for (const auto& entry : fs::directory_iterator(folder.Backups()))
    entries.push_back(Utf8(entry.path().filename()));
  std::sort(entries.begin(), entries.end());
  ASSERT_EQ(entries.size(), 4u) << "the 30 days old backup goes, yesterday's stays";
  EXPECT_EQ(entries[0], ".lock") << "the folder's lock stays for the next job";
  EXPECT_TRUE(std::regex_match(entries[1], std::regex(R"(APP_\d{8}_\d{4}\.gbk)"))) << entries[1];
  EXPECT_EQ(entries[2], "APP_ontem.gbk");
  EXPECT_EQ(entries[3], "backup.txt");
  EXPECT_EQ(ReadAll(folder.Backups() / entries[1]), "GBAK-BYTES");
  EXPECT_EQ(ReadAll(folder.Base() / u8"cópias" / entries[1]), "GBAK-BYTES");
}

TEST(ReplayedRunner, EachKindOfFailureHasItsOwnExitCode) {
  struct Case {
    const char* name;
    std::string replay;
    int exitCode;
    bool folderHeld = false;  // by another job, as a second runner would hold it
  };
  const std::string row = SettingsRow("");
  const Case cases[] = {
      // isc_network_error on every attempt: the runner gives up after its retries.
      {"server down", "fail isc_attach_database 335544721 -1\n", 4},
      {"login refused", "fail isc_attach_database 335544472 1\n", 5},
      {"no settings row", "", 6},
      // isc_io_error: the server cannot write the backup.
      {"backup refused", row + "fail isc_service_start 335544344 1\n", 7},
      {"copy folder missing",
       SettingsRow(kWindows ? "C:\\n\xE3o-existe\\" : "/n\xE3o-existe/") + "backup GBAK-BYTES\n", 9},
      {"another job holds the folder", row + "backup GBAK-BYTES\n", 12, true},
  };
  const std::unique_ptr<platform::FolderLocks> locks = platform::MachineFolderLocks();
  for (const Case& c : cases) {
    ProgramFolder folder;
    fs::create_directory(folder.Backups());
    platform::FolderLockAttempt held;
    if (c.folderHeld) {
      held = locks->TryLockFolder(Utf8(folder.Backups()) + "/");
      ASSERT_EQ(held.outcome, platform::FolderLockAttempt::Outcome::Taken) << held.error;
    }
    std::string output;
    EXPECT_EQ(folder.Run(c.replay, output), c.exitCode) << c.name << "\n" << output;
    if (!c.folderHeld) continue;
    for (const auto& entry : fs::directory_iterator(folder.Backups()))
      EXPECT_NE(entry.path().extension(), ".gbk") << "nothing is written beside the job holding the folder";
  }
}

TEST(ReplayedRunner, HelpListsEveryExitCodeAndAnUnknownArgumentIsAUsageError) {
  ProgramFolder folder;
  std::string help;
  EXPECT_EQ(folder.Run("", help, {"--help"}), 0);
  for (const char* line :
       {"   0  backup feito", "   3  sistema.ini ausente", "   4  servidor de banco",
        "   5  usu\xC3\xA1rio ou senha", "   8  pasta de backup", "   9  backup feito, mas n",
        "  10  backup feito, mas n\xC3\xA3o verificado", "  11  arquivo credenciais recusado",
        "  12  outro backup da mesma pasta", "  13  interrompido (TERM, INT ou HUP)"})
    EXPECT_NE(help.find(line), std::string::npos) << line << "\n" << help;
  std::string output;
  EXPECT_EQ(folder.Run("", output, {"MANUAL"}), 2);
  EXPECT_NE(output.find("Argumento desconhecido: MANUAL"), std::string::npos) << output;
  EXPECT_EQ(output.find("<3>"), std::string::npos) << "a terminal gets plain lines";
}

}  // namespace
}  // namespace testsupport
