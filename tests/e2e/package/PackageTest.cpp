// The Debian package as a user meets it: installed with apt, started from its menu
// entry by a desktop user of the package's group while the server runs under an account of its own, then
// removed and purged. Installing changes the machine, so these tests need root and run alone; they skip on a
// machine that has the package (or its leftovers) already, rather than replace someone's installation.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/support/Desktop.h"
#include "tests/e2e/support/JobSteps.h"
#include "tests/support/Accounts.h"
#include "tests/support/AppDatabase.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/FirebirdServer.h"

namespace testsupport {
namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;

const fs::path kPackage = DEBIAN_PACKAGE;
const fs::path kProgramFolder = "/opt/kelmora-backup";
const fs::path kBackupFolder = "/opt/kelmora-backup/backup";
const fs::path kSettingsFolder = "/etc/kelmora-backup";
const fs::path kMenuEntry = "/usr/share/applications/kelmora-backup.desktop";
const fs::path kAutostartEntry = "/etc/xdg/autostart/Backup Kelmora.desktop";
const std::string kGroup = "kelmora-backup";
const std::string kAccount = "kelmora-backup";
const fs::path kCredentials = "/etc/kelmora-backup/credenciais";
const fs::path kTimerLink = "/etc/systemd/system/timers.target.wants/kelmora-backup-run.timer";

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::optional<gid_t> GroupId(const std::string& name) {
  const struct group* entry = ::getgrnam(name.c_str());
  if (entry == nullptr) return std::nullopt;
  return entry->gr_gid;
}

bool PackageInstalled() {
  std::string status;
  RunCommand({"dpkg-query", "-W", "-f=${Status}", "kelmora-backup"}, &status);
  return status.find("installed") != std::string::npos || status.find("config-files") != std::string::npos;
}

int Apt(const std::vector<std::string>& arguments, std::string* output) {
  std::vector<std::string> argv = {"apt-get", "-y", "-q"};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return RunCommand(argv, output, {"DEBIAN_FRONTEND=noninteractive"});
}

// The access list of a path, one entry a line, without comments and effective-rights notes.
std::vector<std::string> AccessList(const fs::path& path) {
  std::string output;
  RunCommand({"getfacl", "--omit-header", "--numeric", "--absolute-names", path.string()}, &output);
  std::vector<std::string> entries;
  for (std::string line : Lines(output)) {
    line = line.substr(0, line.find('#'));
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t'))
      line.pop_back();
    if (!line.empty()) entries.push_back(line);
  }
  return entries;
}

bool AccountExists(const std::string& name) {
  return ::getpwnam(name.c_str()) != nullptr;
}

// What a test of this file leaves on the machine goes again, whatever way the test ends: the package,
// its program folder with the test's backups, an autostart entry the test wrote, and the system account and
// group that a purge leaves (the test made them: the machine had none).
class MachineRestorer {
 public:
  ~MachineRestorer() {
    if (PackageInstalled()) RunCommand({"dpkg", "--purge", "kelmora-backup"}, nullptr);
    std::error_code ignored;
    fs::remove_all(kProgramFolder, ignored);
    fs::remove(kAutostartEntry, ignored);
    fs::remove(kTimerLink, ignored);
    if (AccountExists(kAccount)) RunCommand({"deluser", "--system", "--quiet", kAccount}, nullptr);
    if (GroupId(kGroup)) RunCommand({"delgroup", "--system", "--quiet", kGroup}, nullptr);
    RunCommand({"sh", "-c", "echo PURGE | debconf-communicate kelmora-backup"}, nullptr);
  }
};

// The desktop user's home and the program's output, however the test ends.
struct RemovedAtEnd {
  std::vector<fs::path> paths;
  ~RemovedAtEnd() {
    std::error_code ignored;
    for (const fs::path& path : paths)
      fs::remove_all(path, ignored);
  }
};

// Why this machine cannot run the tests without touching what is not theirs; empty when it can.
std::string MachineNotClean() {
  if (!RunningAsRoot()) return "needs root: installs the package into the system with apt";
  if (PackageInstalled()) return "kelmora-backup is installed here; the test would replace it";
  if (fs::exists(kProgramFolder)) return kProgramFolder.string() + " exists (backups of an earlier install?)";
  if (GroupId(kGroup)) return "the group " + kGroup + " exists already";
  if (AccountExists(kAccount)) return "the account " + kAccount + " exists already";
  if (fs::exists(kAutostartEntry)) return kAutostartEntry.string() + " exists already";
  if (fs::exists(fs::symlink_status(kTimerLink))) return kTimerLink.string() + " exists already";
  return {};
}

// The menu entry's Exec line as a launcher splits it; the entry has no quotes or field codes.
std::vector<std::string> ExecArguments(const fs::path& entry) {
  bool inMainGroup = false;
  for (const std::string& line : Lines(ReadAll(entry))) {
    if (line.starts_with("[")) inMainGroup = line == "[Desktop Entry]";
    if (!inMainGroup || !line.starts_with("Exec=")) continue;
    const std::string exec = line.substr(5);
    if (exec.find_first_of("\"'\\%") != std::string::npos) ADD_FAILURE() << "not a plain Exec line: " << exec;
    std::vector<std::string> words;
    std::istringstream in(exec);
    for (std::string word; in >> word;)
      words.push_back(word);
    return words;
  }
  return {};
}

// A program run by a desktop user: the given account with the package's group as a supplementary group,
// the environment a session gives it, nothing of ours. Killed with the object.
class DesktopUserProgram {
 public:
  DesktopUserProgram(const Account& user, gid_t group, const std::vector<std::string>& argv,
                     const std::vector<std::string>& environment, const fs::path& log) {
    std::vector<std::string> args = {"/usr/bin/setpriv", "--reuid=" + std::to_string(user.uid),
                                     "--regid=" + std::to_string(user.gid),
                                     "--groups=" + std::to_string(group), "--"};
    args.insert(args.end(), argv.begin(), argv.end());
    pid_ = StartLogged(args, environment, log, Detach::ProcessGroup);
  }
  ~DesktopUserProgram() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  DesktopUserProgram(const DesktopUserProgram&) = delete;
  DesktopUserProgram& operator=(const DesktopUserProgram&) = delete;

 private:
  pid_t pid_ = -1;
};

// Installs into this machine: runs only where the package is not there yet, and leaves the machine
// as it found it however the test ends.
class DebianPackage : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const std::string reason = MachineNotClean(); !reason.empty()) GTEST_SKIP() << reason;
    restorer_.emplace();
  }

 private:
  std::optional<MachineRestorer> restorer_;
};

TEST_F(DebianPackage, PurgeOfAnUnusedInstallLeavesNothing) {
  std::string output;
  ASSERT_EQ(Apt({"install", "--no-install-recommends", kPackage.string()}, &output), 0) << output;
  ASSERT_TRUE(fs::is_directory(kBackupFolder));

  // The runner's timer comes installed but not enabled, and its service only runs through it. An
  // administrator's "systemctl enable" goes with the purge: its link would name a unit that is gone.
  struct UnitState {
    const char* unit;
    const char* state;
  };
  for (const UnitState& expected : {UnitState{"kelmora-backup-run.timer", "disabled\n"},
                                    UnitState{"kelmora-backup-run.service", "static\n"}}) {
    std::string state;
    RunCommand({"systemctl", "--root=/", "is-enabled", expected.unit}, &state);
    EXPECT_EQ(state, expected.state) << expected.unit;
  }
  ASSERT_EQ(RunCommand({"systemctl", "--root=/", "enable", "kelmora-backup-run.timer"}, &output), 0)
      << output;
  ASSERT_TRUE(fs::is_symlink(kTimerLink));

  ASSERT_EQ(Apt({"purge", "kelmora-backup"}, &output), 0) << output;
  EXPECT_FALSE(fs::exists(fs::symlink_status(kTimerLink))) << output;
  EXPECT_FALSE(fs::exists(kProgramFolder)) << output;
  EXPECT_FALSE(fs::exists(kSettingsFolder));
  EXPECT_FALSE(fs::exists("/usr/bin/kelmora-backup"));
  // Debian leaves system accounts: a number that files may still carry must not go to another one.
  EXPECT_TRUE(GroupId(kGroup).has_value());
  EXPECT_TRUE(AccountExists(kAccount));
  std::string overrides;
  RunCommand({"dpkg-statoverride", "--list"}, &overrides);
  EXPECT_EQ(overrides.find("/etc/kelmora-backup/"), std::string::npos) << overrides;
}

TEST_F(DebianPackage, AGroupMemberBacksUpFromTheMenuAndPurgeLeavesOnlyTheBackups) {
  std::string output;

  // Installed the way a user installs it.
  ASSERT_EQ(Apt({"install", "--no-install-recommends", kPackage.string()}, &output), 0) << output;
  std::string listed;
  ASSERT_EQ(RunCommand({"dpkg", "-L", "kelmora-backup"}, &listed), 0);
  const std::vector<std::string> packagedPaths = Lines(listed);
  EXPECT_EQ(fs::read_symlink("/usr/bin/kelmora-backup"), "/opt/kelmora-backup/kelmora-backup");
  EXPECT_EQ(fs::read_symlink(kProgramFolder / "sistema.ini"), "/etc/kelmora-backup/sistema.ini");
  const std::optional<gid_t> group = GroupId(kGroup);
  ASSERT_TRUE(group.has_value()) << "the postinst makes the group";
  struct stat folder {};
  ASSERT_EQ(stat(kBackupFolder.c_str(), &folder), 0);
  EXPECT_EQ(folder.st_uid, 0u);
  EXPECT_EQ(folder.st_gid, *group);
  EXPECT_EQ(folder.st_mode & 07777, 02770u);
  // The files that may hold secrets: the group reads them, nobody else. The runner's service account.
  for (const fs::path& file : {kSettingsFolder / "sistema.ini", kCredentials}) {
    struct stat info {};
    ASSERT_EQ(stat(file.c_str(), &info), 0) << file;
    EXPECT_EQ(info.st_uid, 0u) << file;
    EXPECT_EQ(info.st_gid, *group) << file;
    EXPECT_EQ(info.st_mode & 07777, 0640u) << file;
  }
  EXPECT_EQ(fs::read_symlink(kProgramFolder / "credenciais"), kCredentials);
  const struct passwd* serviceAccount = ::getpwnam(kAccount.c_str());
  ASSERT_NE(serviceAccount, nullptr);
  EXPECT_EQ(serviceAccount->pw_gid, *group);
  EXPECT_LT(serviceAccount->pw_uid, 1000u) << "a system account";
  const std::string gid = std::to_string(*group);
  std::vector<std::string> rights = AccessList(kBackupFolder);
  for (const std::string& entry :
       std::vector<std::string>{"user::rwx", "group::rwx", "group:" + gid + ":rwx", "mask::rwx", "other::---",
                                "default:user::rwx", "default:group::rwx", "default:group:" + gid + ":rwx",
                                "default:mask::rwx", "default:other::---"}) {
    EXPECT_TRUE(Contains(rights, entry)) << entry;
  }
  if (const struct passwd* firebird = ::getpwnam("firebird")) {
    const std::string uid = std::to_string(firebird->pw_uid);
    EXPECT_TRUE(Contains(rights, "user:" + uid + ":rwx"));
    EXPECT_TRUE(Contains(rights, "default:user:" + uid + ":rwx"));
  }

  // The private server under an account of its own, which the administrator gives the folder as the README
  // says for a server that does not run as firebird; sistema.ini set through the program folder's link.
  const Account serverAccount = ServerAccount();
  const Account user = DesktopAccount();
  FirebirdServer server(serverAccount);
  const fs::path database = CreateAppDatabase(server, "PACOTE");
  const std::string serverUid = std::to_string(serverAccount.uid);
  ASSERT_EQ(RunCommand({"setfacl", "-m", "u:" + serverUid + ":rwx,d:u:" + serverUid + ":rwx",
                        kBackupFolder.string()},
                       &output),
            0)
      << output;
  std::ofstream(kProgramFolder / "sistema.ini", std::ios::trunc)
      << "[Dados]\nDir=" << server.Location(database)
      << "\n\n[Backup]\nSistema=Linux\nContaServidor=" << serverUid << "\n";
  ASSERT_NE(ReadAll(kSettingsFolder / "sistema.ini").find(server.Location(database)), std::string::npos);

  // A server whose SYSDBA password is not the one the program was built with, given to the package as an
  // administrator preseeds it; debconf keeps no copy once the file has it.
  const std::string password = "pacote =;# senha";
  ASSERT_EQ(server.RunIsql("CONNECT '" + server.Location(database) + "';\nALTER USER SYSDBA PASSWORD '" +
                               password + "';\nCOMMIT;\n",
                           &output),
            0)
      << output;
  ASSERT_EQ(RunCommand({"debconf-set-selections"}, &output, {},
                       "kelmora-backup kelmora-backup/usuario string SYSDBA\n"
                       "kelmora-backup kelmora-backup/senha password " +
                           password + "\n"),
            0)
      << output;
  ASSERT_EQ(RunCommand({"dpkg-reconfigure", "kelmora-backup"}, &output, {"DEBIAN_FRONTEND=noninteractive"}),
            0)
      << output;
  EXPECT_NE(ReadAll(kCredentials).find("[Servico]\nUsuario=SYSDBA\nSenha=" + password + "\n"),
            std::string::npos);
  struct stat credentials {};
  ASSERT_EQ(stat(kCredentials.c_str(), &credentials), 0);
  EXPECT_EQ(credentials.st_mode & 07777, 0640u);
  EXPECT_EQ(credentials.st_gid, *group);
  RunCommand({"sh", "-c", "echo GET kelmora-backup/senha | debconf-communicate kelmora-backup"}, &output);
  EXPECT_EQ(output.find(password), std::string::npos) << "debconf's copy";

  // Started from the menu entry by a user who is in the group and nothing else of the machine's.
  const fs::path home = fs::temp_directory_path() / ("kelmora-package-home-" + std::to_string(getpid()));
  const fs::path programLog = home.string() + ".log";
  const RemovedAtEnd scratch{{home, programLog}};
  fs::create_directories(home);
  XDisplay display;
  // The user's own copy of the display's cookie, as a desktop session gives it.
  fs::copy_file(display.AuthorityFile(), home / ".Xauthority");
  GiveTo(home, user);
  const std::vector<std::string> exec = ExecArguments(kMenuEntry);
  ASSERT_EQ(exec.size(), 2u);
  std::string gbk;
  {
    DesktopUserProgram program(
        user, *group, exec,
        {"PATH=/usr/local/bin:/usr/bin:/bin", "HOME=" + home.string(), "DISPLAY=" + display.Name(),
         "XAUTHORITY=" + (home / ".Xauthority").string(), "LANG=C.UTF-8"},
        programLog);
    const std::string window = display.WaitForWindow("^Backup$", 30s);
    ASSERT_FALSE(window.empty()) << ReadAll(programLog);
    ClickIniciar(display, window);
    const std::string log = WaitForLogBlock(kBackupFolder / "backup.txt", 120s);
    display.Screenshot(SCREENSHOT_DIR "/package-backup-done.png");
    EXPECT_NE(log.find("Backup conclu\xED"
                       "do.\r\n"),
              std::string::npos)
        << log << ReadAll(programLog);
    EXPECT_NE(log.find("Realizando o backup para /opt/kelmora-backup/backup/PACOTE_"), std::string::npos)
        << log;
  }
  for (const auto& entry : fs::directory_iterator(kBackupFolder)) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with("PACOTE_") && name.ends_with(".gbk")) gbk = name;
  }
  ASSERT_FALSE(gbk.empty()) << "the backup is in the installed program's folder";
  const fs::path backup = kBackupFolder / gbk;
  struct stat file {};
  ASSERT_EQ(stat(backup.c_str(), &file), 0);
  EXPECT_EQ(file.st_uid, serverAccount.uid) << "the server writes it";
  EXPECT_EQ(file.st_gid, *group) << "the setgid folder keeps it in the group";
  EXPECT_EQ(file.st_mode & 07, 0u) << "nothing for others";
  ASSERT_EQ(stat((kBackupFolder / "backup.txt").c_str(), &file), 0);
  EXPECT_EQ(file.st_uid, user.uid);
  EXPECT_EQ(file.st_gid, *group);
  EXPECT_EQ(file.st_mode & 07, 0u);
  // Another member of the group (any account with the group) reads both; an account without it cannot.
  const Account other = UnusedAccount(user.uid + 1);
  const auto readAs = [&](bool member, const fs::path& path) {
    const std::string groups = member ? "--groups=" + gid : "--clear-groups";
    return RunCommand(
        {"setpriv", "--reuid=" + std::to_string(other.uid), "--regid=" + std::to_string(other.gid), groups,
         "--", "sh", "-c", "cat \"$0\" >/dev/null", path.string()},
        nullptr);
  };
  EXPECT_EQ(readAs(true, backup), 0);
  EXPECT_EQ(readAs(true, kBackupFolder / "backup.txt"), 0);
  EXPECT_NE(readAs(false, backup), 0);

  // The installed runner as its service runs it: the package's system account, umask 0007, the credentials
  // in a folder of its own as LoadCredential= hands them over, here with every backup verified.
  std::ofstream(kProgramFolder / "sistema.ini", std::ios::app) << "Verificar=1\n";
  const fs::path handedIn = home.string() + ".credentials";
  const RemovedAtEnd handedInRemoved{{handedIn}};
  fs::create_directory(handedIn);
  fs::copy_file(kCredentials, handedIn / "credenciais");
  ASSERT_EQ(RunCommand({"chown", "-R", kAccount + ":", handedIn.string()}, &output), 0) << output;
  fs::permissions(handedIn / "credenciais", fs::perms::owner_read);
  fs::permissions(handedIn, fs::perms::owner_read | fs::perms::owner_exec);
  ASSERT_EQ(RunCommand({"setpriv", "--reuid=" + kAccount, "--regid=" + kAccount, "--init-groups", "--", "sh",
                        "-c", "umask 0007; exec /opt/kelmora-backup/kelmora-backup-run"},
                       &output, {"CREDENTIALS_DIRECTORY=" + handedIn.string()}),
            0)
      << output;
  EXPECT_NE(output.find("Backup verificado.\n"), std::string::npos) << output;
  EXPECT_NE(ReadAll(kBackupFolder / "backup.txt").find("Backup verificado.\r\n"), std::string::npos);
  for (const auto& entry : fs::directory_iterator(kBackupFolder))
    EXPECT_FALSE(entry.path().string().ends_with("_verificacao.fdb")) << entry.path();

  // An upgrade leaves the folder's rights as the administrator set them.
  ASSERT_EQ(chmod(kBackupFolder.c_str(), 02750), 0);
  ASSERT_EQ(Apt({"install", "--reinstall", "--no-install-recommends", kPackage.string()}, &output), 0)
      << output;
  ASSERT_EQ(stat(kBackupFolder.c_str(), &folder), 0);
  EXPECT_EQ(folder.st_mode & 07777, 02750u) << output;

  // A run as root replaces the folder's access lists with the program's own; configuring again repairs them
  // and keeps what the administrator added.
  ASSERT_EQ(
      RunCommand({"setfacl", "--set", "u::rwx,g::---,o::---,u:" + serverUid + ":rwx", kBackupFolder.string()},
                 &output),
      0)
      << output;
  ASSERT_EQ(RunCommand({"dpkg-reconfigure", "kelmora-backup"}, &output, {"DEBIAN_FRONTEND=noninteractive"}),
            0)
      << output;
  rights = AccessList(kBackupFolder);
  EXPECT_TRUE(Contains(rights, "group::rwx"));
  EXPECT_TRUE(Contains(rights, "group:" + gid + ":rwx"));
  EXPECT_TRUE(Contains(rights, "default:group:" + gid + ":rwx"));
  EXPECT_TRUE(Contains(rights, "user:" + serverUid + ":rwx"));

  // The administrator's autostart entry, as the README writes it.
  std::ofstream(kAutostartEntry)
      << "[Desktop Entry]\nType=Application\nName=Backup Kelmora\nExec=/opt/kelmora-backup/kelmora-backup\n";

  // Debian's own server's password, when the administrator agrees to it.
  const fs::path firebirdPassword = "/etc/firebird/3.0/SYSDBA.password";
  if (fs::exists(firebirdPassword)) {
    ASSERT_EQ(RunCommand({"debconf-set-selections"}, &output, {},
                         "kelmora-backup kelmora-backup/usar-senha-do-firebird boolean true\n"),
              0);
    ASSERT_EQ(RunCommand({"dpkg-reconfigure", "kelmora-backup"}, &output, {"DEBIAN_FRONTEND=noninteractive"}),
              0)
        << output;
    std::string line;
    for (const std::string& entry : Lines(ReadAll(firebirdPassword)))
      if (entry.starts_with("ISC_PASSWORD=")) line = entry.substr(13);
    if (line.size() >= 2 && line.front() == '"') line = line.substr(1, line.size() - 2);
    EXPECT_NE(ReadAll(kCredentials).find("\nSenha=" + line + "\n"), std::string::npos);
  }

  // Removal keeps the settings and the group; purge takes the settings and the credentials and leaves the
  // backups, the group and the account alone. The backups are the folder as it stands now: one per minute
  // the two jobs ran in.
  std::set<std::string> backups{kBackupFolder.string()};
  for (const auto& entry : fs::directory_iterator(kBackupFolder))
    backups.insert(entry.path().string());
  ASSERT_EQ(Apt({"remove", "kelmora-backup"}, &output), 0) << output;
  EXPECT_FALSE(fs::exists(kProgramFolder / "kelmora-backup"));
  EXPECT_FALSE(fs::exists("/usr/bin/kelmora-backup"));
  EXPECT_TRUE(fs::exists(kSettingsFolder / "sistema.ini"));
  EXPECT_TRUE(GroupId(kGroup).has_value());

  ASSERT_EQ(Apt({"purge", "kelmora-backup"}, &output), 0) << output;
  EXPECT_EQ(GroupId(kGroup), group);
  EXPECT_TRUE(AccountExists(kAccount));
  EXPECT_FALSE(fs::exists(kAutostartEntry));
  EXPECT_FALSE(fs::exists(kSettingsFolder));
  for (const std::string& path : packagedPaths) {
    if (!fs::is_directory(path)) {
      EXPECT_FALSE(fs::exists(fs::symlink_status(path))) << path;
    }
  }
  std::set<std::string> left;
  for (const auto& entry : fs::recursive_directory_iterator(kProgramFolder))
    left.insert(entry.path().string());
  EXPECT_EQ(left, backups);
  ASSERT_EQ(stat(kBackupFolder.c_str(), &folder), 0);
  EXPECT_EQ(folder.st_gid, *group) << "the group stays, and so do its members' rights";
  EXPECT_EQ(readAs(true, backup), 0);
  EXPECT_NE(readAs(false, backup), 0);
}

}  // namespace
}  // namespace testsupport
