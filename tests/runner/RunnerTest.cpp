#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <thread>

#include "tests/support/AccessList.h"
#include "tests/support/Accounts.h"
#include "tests/support/AppDatabase.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/CredentialsFile.h"
#include "tests/support/FileBytes.h"
#include "tests/support/FirebirdServer.h"
#include "tests/support/LoopbackMonitor.h"
#include "tests/support/TempFolder.h"

namespace testsupport {
namespace {
namespace fs = std::filesystem;

// Names of files in the backup folder that end with the suffix.
std::vector<std::string> BackupFolderEntries(const fs::path& folder, const std::string& suffix) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder / "backup"))
    if (entry.path().filename().string().ends_with(suffix)) names.push_back(entry.path().filename().string());
  return names;
}

// A program folder as the package installs it: the runner and its sistema.ini side by side. With an
// account, the folder (inside one that every account may enter) belongs to it and the runner runs as it.
class ProgramFolder {
 public:
  ProgramFolder() : path_(folder_.Path()) { fs::copy_file(RUNNER_BINARY, Program()); }
  explicit ProgramFolder(const Account& account) : path_(folder_.Path() / "programa"), account_(account) {
    fs::permissions(folder_.Path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                        fs::perms::others_read | fs::perms::others_exec);
    fs::create_directory(path_);
    fs::copy_file(RUNNER_BINARY, Program());
    GiveTo(path_, account);
  }
  fs::path Program() const { return path_ / "kelmora-backup-run"; }
  fs::path Path() const { return path_; }
  void WriteIni(const std::string& location, const std::string& backupKeys = {}) const {
    std::ofstream(path_ / "sistema.ini", std::ios::binary)
        << "[Dados]\r\nDir=" << location << "\r\n[Backup]\r\nSistema=Linux\r\n"
        << backupKeys;
  }
  // Standard output and error together. The environment's entries are the runner's alone (set by env
  // under its account), not setpriv's.
  int Run(std::string& output, const std::vector<std::string>& arguments = {},
          const std::vector<std::string>& environment = {}) const {
    return RunCommand(CommandLine(arguments, environment), &output);
  }
  std::vector<std::string> CommandLine(const std::vector<std::string>& arguments = {},
                                       const std::vector<std::string>& environment = {}) const {
    std::vector<std::string> argv;
    if (!environment.empty()) {
      argv.push_back("env");
      argv.insert(argv.end(), environment.begin(), environment.end());
    }
    argv.push_back(Program().string());
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return account_ ? AsAccount(*account_, argv) : argv;
  }

 private:
  TempFolder folder_;
  fs::path path_;
  std::optional<Account> account_;
};

// A runner in the background that writes its output into a pipe of one page, read by the test: a runner
// whose output the test does not read stops in its next line once the page is full, so a job with more
// than a page of lines still to print cannot end while the test holds back.
class RunnerInBackground {
 public:
  explicit RunnerInBackground(const ProgramFolder& folder) {
    const fs::path pipe = pipeFolder_.Path() / "output";
    if (mkfifo(pipe.c_str(), 0600) != 0) throw std::runtime_error("mkfifo");
    reader_ = open(pipe.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    fcntl(reader_, F_SETPIPE_SZ, 4096);
    fcntl(reader_, F_SETFL, 0);
    // A pipe that no writer has opened yet reads as ended: this one stands in for the runner's until the
    // runner has written.
    writerUntilFirstOutput_ = open(pipe.c_str(), O_WRONLY | O_CLOEXEC);
    pid_ = StartLogged(folder.CommandLine(), ChildEnvironment({}), pipe, Detach::ProcessGroup);
  }
  ~RunnerInBackground() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    close(reader_);
    if (writerUntilFirstOutput_ >= 0) close(writerUntilFirstOutput_);
  }
  pid_t Pid() const { return pid_; }
  // Reads until the output holds the text; false when the runner ended without it.
  bool ReadUntil(const std::string& text) {
    while (output_.find(text) == std::string::npos)
      if (!ReadMore()) return false;
    return true;
  }
  // Reads the rest and waits for the end: the exit code.
  int Finish() {
    while (ReadMore()) {
    }
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  const std::string& Output() const { return output_; }

 private:
  bool ReadMore() {
    char buffer[512];
    const ssize_t count = read(reader_, buffer, sizeof buffer);
    if (count <= 0) return false;
    output_.append(buffer, static_cast<std::size_t>(count));
    if (writerUntilFirstOutput_ >= 0) close(writerUntilFirstOutput_);
    writerUntilFirstOutput_ = -1;
    return true;
  }

  TempFolder pipeFolder_;
  int reader_ = -1;
  int writerUntilFirstOutput_ = -1;
  pid_t pid_ = -1;
  std::string output_;
};

// Enough tables that a backup prints many pages of lines after its first one.
AppDatabaseOptions ManyTables() {
  AppDatabaseOptions options;
  options.extraTables = 120;
  return options;
}

// The timer's runner and a desktop's automatic program (or a second timer) at the same minute: whoever
// comes second finds the backup folder held and writes nothing but its block.
TEST(Runner, ASecondBackupOfTheSameFolderDoesNotStartWhileTheFirstRuns) {
  if (!RunningAsRoot()) GTEST_SKIP() << kNeedsRoot;
  FirebirdServer server(ServerAccount());
  const auto database = CreateAppDatabase(server, "RUN_TWICE", ManyTables());
  ProgramFolder folder(DesktopAccount());
  folder.WriteIni(server.Location(database), "ContaServidor=" + std::to_string(ServerAccount().uid) + "\r\n");
  RunnerInBackground first(folder);
  ASSERT_TRUE(first.ReadUntil("gbak:")) << first.Output();

  std::string output;
  EXPECT_EQ(folder.Run(output), 12) << output;
  EXPECT_NE(output.find("Outro backup j\xC3\xA1 est\xC3\xA1 em andamento"), std::string::npos) << output;
  EXPECT_EQ(first.Finish(), 0) << first.Output();
  const std::vector<std::string> backups = BackupFolderEntries(folder.Path(), ".gbk");
  ASSERT_EQ(backups.size(), 1u);
  EXPECT_NE(first.Output().find(backups[0]), std::string::npos) << "the first runner's backup stands";
  const std::string log = ReadAll(folder.Path() / "backup" / "backup.txt");
  EXPECT_NE(log.find("Backup iniciado em "), log.rfind("Backup iniciado em ")) << "a block each";
  EXPECT_NE(log.find("\r\nOutro backup j\xE1 est\xE1 em andamento nesta pasta; este backup n\xE3o foi "
                     "iniciado.\r\n"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("Backup conclu\xED"
                     "do.\r\n"),
            std::string::npos)
      << log;
}

// systemctl stop, a logout, a closed terminal: the runner's own stop, not the client library's, and not
// an end without its block.
TEST(Runner, TermIntAndHupStopTheBackupOrItsCheckLogTheBlockAndLeaveNoUnfinishedFile) {
  if (!RunningAsRoot()) GTEST_SKIP() << kNeedsRoot;
  struct Case {
    int signalNumber;
    const char* verify;  // Verificar
    const char* seen;    // the line after which the signal comes
    std::size_t backupsLeft;
  };
  const Case cases[] = {
      {SIGTERM, "0", "writing data for table DADOS_1 \n", 0},
      {SIGINT, "0", "writing data for table DADOS_1 \n", 0},
      {SIGHUP, "0", "writing data for table DADOS_1 \n", 0},
      // The backup is whole by then and stays; the scratch database goes.
      {SIGTERM, "1", "gbak:restoring table DADOS_1 \n", 1},
  };
  FirebirdServer server(ServerAccount());
  const auto database = CreateAppDatabase(server, "RUN_STOP", ManyTables());
  for (const Case& c : cases) {
    const std::string name = std::string(strsignal(c.signalNumber)) + " Verificar=" + c.verify;
    ProgramFolder folder(DesktopAccount());
    folder.WriteIni(server.Location(database), "ContaServidor=" + std::to_string(ServerAccount().uid) +
                                                   "\r\nVerificar=" + c.verify + "\r\n");
    RunnerInBackground runner(folder);
    ASSERT_TRUE(runner.ReadUntil(c.seen)) << name << "\n" << runner.Output();
    kill(runner.Pid(), c.signalNumber);
    EXPECT_EQ(runner.Finish(), 13) << name << "\n" << runner.Output();
    EXPECT_EQ(BackupFolderEntries(folder.Path(), ".gbk").size(), c.backupsLeft) << name;
    EXPECT_TRUE(BackupFolderEntries(folder.Path(), "_verificacao.fdb").empty()) << name;
    const std::string log = ReadAll(folder.Path() / "backup" / "backup.txt");
    EXPECT_TRUE(
        log.ends_with("Backup interrompido: o programa recebeu um pedido para terminar. O backup n\xE3o "
                      "foi conclu\xED"
                      "do.\r\n\r\n" +
                      std::string(68, '-') + "\r\n\r\n"))
        << name << "\n"
        << log;
  }
}

TEST(Runner, SuccessfulBackupExitsZeroPrintsTheServerLinesAndLogsTheAutomaticBlock) {
  FirebirdServer& server = FirebirdServer::Shared();
  const auto database = CreateAppDatabase(server, "RUN_OK");
  ProgramFolder folder;
  // A server account this machine does not know: the server runs elsewhere, nothing is shared with it.
  folder.WriteIni(server.Location(database), "ContaServidor=kelmora-no-such-account\r\n");
  std::string output;
  ASSERT_EQ(folder.Run(output), 0) << output;
  struct stat made {};
  ASSERT_EQ(stat((folder.Path() / "backup").c_str(), &made), 0);
  EXPECT_EQ(made.st_mode & 07777, 0700u) << "the backups are their owner's alone";
  EXPECT_EQ(AccessList(folder.Path() / "backup"), "u::rwx,g::---,o::---");

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

// As the package's service runs it: not as root, the server under an account of its own that the backup
// folder is shared with, every backup verified and a monitor told of every success.
TEST(Runner, AsAnUnprivilegedUserItVerifiesEachBackupAndCallsTheMonitorOncePerSuccess) {
  if (!RunningAsRoot()) GTEST_SKIP() << kNeedsRoot;
  FirebirdServer server(ServerAccount());
  const auto database = CreateAppDatabase(server, "RUN_VERIFIED");
  LoopbackMonitor monitor("HTTP/1.1 200 OK");
  ProgramFolder folder(DesktopAccount());
  folder.WriteIni(server.Location(database), "ContaServidor=" + std::to_string(ServerAccount().uid) +
                                                 "\r\nVerificar=1\r\nUrlMonitor=" + monitor.Url("/ping/run") +
                                                 "\r\n");
  for (std::size_t run = 1; run <= 2; ++run) {
    std::string output;
    ASSERT_EQ(folder.Run(output), 0) << "run " << run << "\n" << output;
    EXPECT_NE(output.find("Backup verificado.\n"), std::string::npos) << output;
    EXPECT_EQ(monitor.Requests().size(), run) << output;
  }
  EXPECT_TRUE(monitor.Requests()[1].starts_with("GET /ping/run HTTP/1.1\r\n")) << monitor.Requests()[1];
  const std::string log = ReadAll(folder.Path() / "backup" / "backup.txt");
  EXPECT_NE(log.find("Backup conclu\xED"
                     "do.\r\n\r\nBackup verificado.\r\n\r\nBackup encerrado em "),
            std::string::npos)
      << log;
  EXPECT_TRUE(BackupFolderEntries(folder.Path(), "_verificacao.fdb").empty())
      << "the scratch database is dropped";
  EXPECT_FALSE(BackupFolderEntries(folder.Path(), ".gbk").empty());

  // The folder the runner made is its user's and the server's and no one else's, and so is whatever
  // either of them makes in it.
  const fs::path backups = folder.Path() / "backup";
  struct stat made {};
  ASSERT_EQ(stat(backups.c_str(), &made), 0);
  EXPECT_EQ(made.st_uid, DesktopAccount().uid);
  EXPECT_EQ(made.st_mode & 07777, 0770u) << "the group's bits show the access list's mask";
  const std::string serverEntry = "u:" + std::to_string(ServerAccount().uid) + ":rwx,";
  const std::string userEntry = "u:" + std::to_string(DesktopAccount().uid) + ":rwx,";
  EXPECT_EQ(AccessList(backups), "u::rwx," + serverEntry + "g::---,m::rwx,o::---");
  EXPECT_EQ(DefaultAccessList(backups), "u::rwx," + serverEntry + userEntry + "g::---,m::rwx,o::---");

  // Unverified, the runner may have the server send no lines: it prints none, and its backup restores.
  folder.WriteIni(server.Location(database),
                  "ContaServidor=" + std::to_string(ServerAccount().uid) + "\r\nOmitirDetalhes=1\r\n");
  std::string output;
  ASSERT_EQ(folder.Run(output), 0) << output;
  EXPECT_EQ(output.find("gbak:"), std::string::npos) << output;
  const std::vector<std::string> names = BackupFolderEntries(folder.Path(), ".gbk");
  const fs::path latest = backups / *std::max_element(names.begin(), names.end());
  EXPECT_EQ(server.RunGbak({"-c", latest.string(), (server.DataDir() / "RESTORED.fdb").string()}, &output), 0)
      << output;
}

// The usual office: the server on another machine, which sees nothing of the workstation's folders. Here
// the server runs in a mount namespace of its own, where the program folder's parent is an empty one.
// Told to write into the program's folder, it cannot; sent to the program, the backup lands there, is
// copied, and restores through the server from the program into the server's own folder.
TEST(Runner, AServerThatCannotSeeTheProgramsFolderSendsTheBackupToTheProgram) {
  if (!RunningAsRoot()) GTEST_SKIP() << kNeedsRoot;
  ProgramFolder folder(DesktopAccount());
  FirebirdServer server(ServerAccount(), folder.Path().parent_path());
  const fs::path copies = folder.Path() / "c\xC3\xB3pias";
  fs::create_directory(copies);
  GiveTo(copies, DesktopAccount());
  AppDatabaseOptions options;
  options.row->copyFolder = (folder.Path() / "c\xF3pias/").string();  // the row's code page 1252
  options.extraTables = 3;
  options.rowsPerExtraTable = 3000;
  const auto database = CreateAppDatabase(server, "RUN_REMOTE", options);
  const std::string keys = "ContaServidor=" + std::to_string(ServerAccount().uid) + "\r\n";
  folder.WriteIni(server.Location(database), keys);
  std::string output;
  EXPECT_EQ(folder.Run(output), 7) << output;
  EXPECT_NE(output.find("Transferir=1 em [Backup]"), std::string::npos) << output;
  EXPECT_TRUE(BackupFolderEntries(folder.Path(), ".gbk").empty());

  folder.WriteIni(server.Location(database), keys + "Transferir=1\r\nVerificar=1\r\nPastaVerificacao=" +
                                                 server.DataDir().string() + "\r\n");
  output.clear();
  ASSERT_EQ(folder.Run(output), 0) << output;
  const std::vector<std::string> backups = BackupFolderEntries(folder.Path(), ".gbk");
  ASSERT_EQ(backups.size(), 1u);
  const fs::path backup = folder.Path() / "backup" / backups.front();
  struct stat made {};
  ASSERT_EQ(stat(backup.c_str(), &made), 0);
  EXPECT_EQ(made.st_uid, DesktopAccount().uid) << "written by the program, as its user";
  EXPECT_GT(made.st_size, 100000);
  EXPECT_EQ(ReadAll(copies / backups.front()), ReadAll(backup));
  EXPECT_TRUE(BackupFolderEntries(folder.Path(), ".part").empty());
  const std::string log = ReadAll(folder.Path() / "backup" / "backup.txt");
  const std::string block = log.substr(log.rfind("Backup iniciado em"));
  for (const std::string& line :
       {"\r\nRealizando o backup para " + backup.string() + "\r\n\r\n", std::string("\r\nTotal recebido: "),
        std::string(" MB\r\n\r\nBackup conclu\xED"
                    "do.\r\n\r\nBackup verificado.\r\n\r\nCopiando o backup para ")})
    EXPECT_NE(block.find(line), std::string::npos) << line << "\n" << block;
  for (const auto& entry : fs::directory_iterator(server.DataDir()))
    EXPECT_FALSE(entry.path().filename().string().ends_with("_verificacao.fdb"))
        << "the scratch database goes";
}

// Root writes anywhere, so the plain case of an unwritable folder needs a user: a backup folder of root's
// that the runner's account may read but not write.
TEST(Runner, AsAnUnprivilegedUserABackupFolderItMayNotWriteExitsEight) {
  if (!RunningAsRoot()) GTEST_SKIP() << kNeedsRoot;
  FirebirdServer& server = FirebirdServer::Shared();
  const auto database = CreateAppDatabase(server, "RUN_READ_ONLY");
  ProgramFolder folder(DesktopAccount());
  folder.WriteIni(server.Location(database));
  fs::create_directory(folder.Path() / "backup");
  ASSERT_EQ(chown((folder.Path() / "backup").c_str(), 0, 0), 0);
  fs::permissions(folder.Path() / "backup", fs::perms::owner_all | fs::perms::group_read |
                                                fs::perms::group_exec | fs::perms::others_read |
                                                fs::perms::others_exec);
  std::string output;
  EXPECT_EQ(folder.Run(output), 8) << output;
  EXPECT_NE(output.find("I/O error 13"), std::string::npos) << output;
  EXPECT_TRUE(BackupFolderEntries(folder.Path(), "").empty()) << "nothing written";
}

// The server creates the scratch database in the backup folder: a server whose DatabaseAccess does not
// admit that folder makes every verification fail, and the runner says so with its own code.
TEST(Runner, ABackupThatDoesNotVerifyExitsTenAndNoMonitorIsCalled) {
  FirebirdServer server;
  const auto database = CreateAppDatabase(server, "RUN_UNVERIFIED");
  server.Stop();
  std::ofstream(server.RootDir() / "firebird.conf", std::ios::app)
      << "\nDatabaseAccess = Restrict " << server.DataDir().string() << "\n";
  server.Start();
  LoopbackMonitor monitor("HTTP/1.1 200 OK");
  ProgramFolder folder;
  folder.WriteIni(server.Location(database), "Verificar=1\r\nUrlMonitor=" + monitor.Url("/ping") + "\r\n");
  std::string output;
  EXPECT_EQ(folder.Run(output), 10) << output;
  EXPECT_NE(output.find("Backup n\xC3\xA3o verificado: a restaura\xC3\xA7\xC3\xA3o falhou: "),
            std::string::npos)
      << output;
  EXPECT_NE(output.find("_verificacao.fdb is not allowed by server configuration"), std::string::npos)
      << output;
  EXPECT_TRUE(monitor.Requests().empty());
  EXPECT_EQ(BackupFolderEntries(folder.Path(), ".gbk").size(), 1u) << "the backup itself stands";
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
    // A monitor that hears of failures is sent the exit code, also when the job never started.
    LoopbackMonitor monitor("HTTP/1.1 200 OK");
    ProgramFolder folder;
    if (const std::string dir = c.prepare(folder); !dir.empty())
      folder.WriteIni(dir, "UrlMonitor=" + monitor.Url("/ping") + "\r\nMonitorDetalhado=1\r\n");
    std::string output;
    EXPECT_EQ(folder.Run(output), c.exitCode) << c.name << "\n" << output;
    EXPECT_NE(output.find(c.printed), std::string::npos) << c.name << "\n" << output;
    const std::vector<std::string> requests = monitor.Requests();
    if (c.exitCode == 3) {
      EXPECT_TRUE(requests.empty()) << "no sistema.ini, no monitor";
      continue;
    }
    ASSERT_FALSE(requests.empty()) << c.name;
    EXPECT_TRUE(requests.back().starts_with("POST /ping/" + std::to_string(c.exitCode) + " HTTP/1.1\r\n"))
        << c.name << "\n"
        << requests.back();
  }
}

// A server of its own under its own account, whose SYSDBA password no longer is the one the runner was
// built with: the administrator's credentials file makes the difference, read by a member of its group.
TEST(Runner, TheCredentialsFileGivesTheServersPasswordUnlessOthersMayReadIt) {
  if (!RunningAsRoot()) GTEST_SKIP() << kNeedsRoot;
  FirebirdServer server(ServerAccount());
  const auto database = CreateAppDatabase(server, "RUN_LOGIN");
  std::string isql;
  ASSERT_EQ(server.RunIsql("CONNECT '" + server.Location(database) +
                               "';\nALTER USER SYSDBA PASSWORD 'ch=nged #1';\nCOMMIT;\n",
                           &isql),
            0)
      << isql;
  const Account user = DesktopAccount();
  const gid_t group = UnusedAccount(user.uid + 1).gid;
  ProgramFolder folder(user);
  // Verified too: the scratch database is opened and dropped with the file's login as well.
  folder.WriteIni(server.Location(database),
                  "ContaServidor=" + std::to_string(ServerAccount().uid) + "\r\nVerificar=1\r\n");
  const fs::path credentials = folder.Path() / "credenciais";
  const auto run = [&](std::string& output) {
    return RunCommand(
        {"setpriv", "--reuid=" + std::to_string(user.uid), "--regid=" + std::to_string(user.gid),
         "--groups=" + std::to_string(group), "--", folder.Program().string()},
        &output);
  };

  std::string output;
  EXPECT_EQ(run(output), 5) << "no file: the built-in password\n" << output;
  EXPECT_NE(output.find("recusou o usu\xC3\xA1rio e a senha"), std::string::npos) << output;
  EXPECT_FALSE(fs::exists(folder.Path() / "backup")) << "no job starts without the settings row";

  WriteCredentialsFile(credentials, "[Servico]\nUsuario=SYSDBA\nSenha=ch=nged #1\n");
  ASSERT_EQ(chown(credentials.c_str(), 0, group), 0);
  ASSERT_EQ(run(output), 0) << output;
  EXPECT_NE(output.find("Backup conclu\xC3\xAD"
                        "do."),
            std::string::npos)
      << output;
  EXPECT_NE(output.find("\nBackup verificado.\n"), std::string::npos) << output;
  EXPECT_EQ(BackupFolderEntries(folder.Path(), ".gbk").size(), 1u);
  EXPECT_TRUE(BackupFolderEntries(folder.Path(), "_verificacao.fdb").empty());

  // Open to others, the file is refused before anything is sent: with the server gone, an attempt would
  // end as an unreachable server.
  fs::permissions(credentials, fs::perms::others_read, fs::perm_options::add);
  server.Stop();
  EXPECT_EQ(run(output), 11) << output;
  const std::string refused = "credenciais foi recusado: outros usu\xC3\xA1rios podem l\xC3\xAA-lo";
  EXPECT_NE(output.find(refused), std::string::npos) << output;
  EXPECT_EQ(output.find("ch=nged"), std::string::npos) << output;
  const std::string log = ReadAll(folder.Path() / "backup" / "backup.txt");
  EXPECT_NE(log.substr(log.rfind("Backup iniciado em")).find("credenciais foi recusado: outros usu\xE1rios"),
            std::string::npos)
      << log;
  EXPECT_EQ(BackupFolderEntries(folder.Path(), ".gbk").size(), 1u);
}

// A backup folder as the package makes it: root's, in a group whose every member may write in it (here
// the desktop user's own), setgid, its access lists giving the group and the server's account every right,
// also on what is made in it.
void MakeSharedBackupFolder(const fs::path& folder, gid_t group, uid_t server) {
  fs::create_directory(folder);
  ASSERT_EQ(chown(folder.c_str(), 0, group), 0);
  ASSERT_EQ(chmod(folder.c_str(), 02770), 0);
  const std::string g = std::to_string(group);
  const std::string u = std::to_string(server);
  std::string output;
  ASSERT_EQ(RunCommand({"setfacl", "-m",
                        "u::rwx,g::rwx,o::---,m::rwx,g:" + g + ":rwx,u:" + u +
                            ":rwx,d:u::rwx,d:g::rwx,d:o::---,"
                            "d:m::rwx,d:g:" +
                            g + ":rwx,d:u:" + u + ":rwx",
                        folder.string()},
                       &output),
            0)
      << output;
}

// Links to another database of the server's, where any member of the group may plant them: at the
// backup's and the scratch database's names of the job's minute and the next, before the job or once it
// has begun (its log opened), again and again until it ends. The runner's clock starts at 21:05:30 on 7
// March 2026. Through no link may a database be overwritten or dropped; a backup's name taken fails the job.
TEST(Runner, LinksPlantedInASharedBackupFolderReachNoDatabase) {
  if (!RunningAsRoot()) GTEST_SKIP() << kNeedsRoot;
  FirebirdServer server(ServerAccount());
  const auto database = CreateAppDatabase(server, "RUN_LINKS");
  const auto victim = CreateAppDatabase(server, "RUN_VICTIM");
  const std::string victimBytes = ReadAll(victim);
  struct Case {
    const char* what;
    std::vector<std::string> suffixes;
    bool duringTheJob;
    std::vector<int> exitCodes;  // the runner's, any of them
  };
  const Case cases[] = {
      {"at the backup's names", {".gbk"}, false, {7}},
      {"at the scratch database's names", {"_verificacao.fdb"}, false, {0}},
      // Whether the links come before the backup is moved to its name is the race's to decide.
      {"at both, while the job runs", {".gbk", "_verificacao.fdb"}, true, {0, 7}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ProgramFolder folder(DesktopAccount());
    folder.WriteIni(server.Location(database),
                    "ContaServidor=" + std::to_string(ServerAccount().uid) + "\r\nVerificar=1\r\n");
    const fs::path backups = folder.Path() / "backup";
    MakeSharedBackupFolder(backups, DesktopAccount().gid, ServerAccount().uid);
    std::vector<fs::path> links;
    for (const char* minute : {"_20260307_2105", "_20260307_2106"})
      for (const std::string& suffix : c.suffixes)
        links.push_back(backups / ("RUN_LINKS" + (minute + suffix)));
    std::atomic<bool> jobEnded = false;
    std::thread planter([&] {
      while (c.duringTheJob && !jobEnded && !fs::exists(backups / "backup.txt"))
        std::this_thread::yield();
      do {
        for (const fs::path& link : links) {
          std::error_code ignored;
          fs::create_symlink(victim, link, ignored);
        }
      } while (c.duringTheJob && !jobEnded);
    });
    if (!c.duringTheJob) planter.join();
    std::string output;
    const int exitCode = folder.Run(output, {},
                                    {"LD_PRELOAD=/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1",
                                     "FAKETIME=@2026-03-07 21:05:30", "FAKETIME_DONT_FAKE_MONOTONIC=1"});
    jobEnded = true;
    if (planter.joinable()) planter.join();

    EXPECT_NE(std::find(c.exitCodes.begin(), c.exitCodes.end(), exitCode), c.exitCodes.end()) << output;
    EXPECT_TRUE(fs::exists(victim) && ReadAll(victim) == victimBytes) << "neither overwritten nor dropped\n"
                                                                      << output;
    for (const fs::path& link : links)
      EXPECT_TRUE(fs::is_symlink(link) || c.duringTheJob) << link << " left as it was";
    const bool nameTaken = exitCode == 7;
    if (nameTaken) {
      EXPECT_NE(
          output.find(
              "RUN_LINKS_20260307_2105.gbk j\xC3\xA1 existe e n\xC3\xA3o \xC3\xA9 deste backup; ele ficou "
              "em " +
              backups.string() + "/.kelmora-"),
          std::string::npos)
          << output;
    } else {
      EXPECT_NE(output.find("\nBackup verificado.\n"), std::string::npos) << output;
      EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(backups / "RUN_LINKS_20260307_2105.gbk"))) << output;
    }
    // The job's own folder goes, unless it holds the backup that found its name taken.
    int ownFolders = 0;
    for (const auto& entry : fs::directory_iterator(backups))
      ownFolders += entry.path().filename().string().starts_with(".kelmora-");
    EXPECT_EQ(ownFolders, nameTaken ? 1 : 0);
  }
}

// Standard error as systemd hands it over to the journal: every line says it is an error (the help and
// the usage error themselves are ReplayRunnerTest's, on every system).
TEST(Runner, UnderTheJournalEveryLineOfStandardErrorIsMarkedAnError) {
  ProgramFolder folder;
  std::string output;
  const fs::path errors = folder.Path() / "errors";
  const std::string journal = "exec 2>\"$1\"; JOURNAL_STREAM=$(stat -c %d:%i \"$1\") exec \"$0\" MANUAL";
  EXPECT_EQ(RunCommand({"sh", "-c", journal, folder.Program().string(), errors.string()}, &output), 2);
  const std::string logged = ReadAll(errors);
  EXPECT_TRUE(logged.starts_with("<3>Argumento desconhecido: MANUAL\n<3>\n<3>Uso: kelmora-backup-run"))
      << logged;
  EXPECT_TRUE(logged.ends_with(
      "\n<3>  13  interrompido (TERM, INT ou HUP) durante o backup ou a verifica\xC3\xA7\xC3\xA3o\n"))
      << logged;
}

}  // namespace
}  // namespace testsupport
