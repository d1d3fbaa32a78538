#include "tests/e2e/support/Desktop.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "tests/support/ChildProcess.h"
#include "tests/support/FirebirdServer.h"

namespace testsupport {
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

fs::path MakeTempFolder(const std::string& prefix) {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/" + prefix + "-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  return pattern;
}

// Starts a program with our environment (without any Firebird server variables, display or session bus)
// plus extra entries, in a process group of its own. A program under test never reaches the desktop of
// whoever runs the tests.
pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& extra, const fs::path& log,
            const fs::path& workingFolder = {}) {
  return StartLogged(argv, ChildEnvironment(extra, {"DISPLAY", "DBUS_SESSION_BUS_ADDRESS"}), log,
                     Detach::ProcessGroup, workingFolder);
}

// A fresh MIT-MAGIC-COOKIE-1 value, as hexadecimal text.
std::string RandomCookie() {
  std::ifstream random("/dev/urandom", std::ios::binary);
  unsigned char bytes[16];
  if (!random.read(reinterpret_cast<char*>(bytes), sizeof bytes)) throw std::runtime_error("no /dev/urandom");
  static const char digits[] = "0123456789abcdef";
  std::string text;
  for (unsigned char byte : bytes) {
    text += digits[byte >> 4];
    text += digits[byte & 15];
  }
  return text;
}

void AddCookie(const fs::path& authorityFile, const std::string& display, const std::string& cookie) {
  std::string output;
  if (RunCommand({"xauth", "-q", "-f", authorityFile.string(), "add", display, "MIT-MAGIC-COOKIE-1", cookie},
                 &output) != 0)
    throw std::runtime_error("xauth failed: " + output);
}

void KillAndReap(pid_t& pid) {
  if (pid <= 0) return;
  kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  pid = -1;
}

std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  std::istringstream in(text);
  for (std::string word; in >> word;)
    words.push_back(word);
  return words;
}

}  // namespace

fs::path BuiltProgram() {
#ifdef BACKUP_BINARY
  return BACKUP_BINARY;
#else
  throw std::runtime_error("BACKUP_BINARY is not defined for this test program");
#endif
}

XDisplay::XDisplay(bool withTray) : folder_(MakeTempFolder("kelmora-x")) {
  // A constructor that throws runs no destructor: whatever was started is ended here.
  try {
    StartServer();
    if (withTray) StartTray();
  } catch (...) {
    Shutdown();
    throw;
  }
}

void XDisplay::StartServer() {
  // The server takes every cookie of its file, whatever display the entry names; clients look theirs up
  // by display, which is known only once the server has chosen it.
  const std::string cookie = RandomCookie();
  const std::string serverAuthority = (folder_ / "server-authority").string();
  AddCookie(serverAuthority, ":0", cookie);
  int fds[2];
  if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
  const std::string fd = std::to_string(fds[1]);
  pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    int null = open("/dev/null", O_RDWR);
    dup2(null, 0);
    dup2(null, 1);
    dup2(null, 2);
    // No reset when the last client leaves: a server that resets refuses the clients that connect
    // meanwhile, and the tests' clients (xdotool, the program) come and go all the time.
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-auth", serverAuthority.c_str(), "-noreset", "-screen",
           "0", "1024x768x24", "-nolisten", "tcp", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  if (pid < 0) {
    close(fds[0]);
    throw std::runtime_error("cannot start Xvfb");
  }
  xvfb_ = pid;
  std::string number;
  char c;
  while (read(fds[0], &c, 1) == 1 && c != '\n')
    number += c;
  close(fds[0]);
  if (number.empty()) throw std::runtime_error("Xvfb did not report its display");
  name_ = ":" + number;
  authority_ = folder_ / "Xauthority";
  AddCookie(authority_, name_, cookie);
}

void XDisplay::StartTray() {
  tray_ = Spawn({"trayer", "--edge", "top", "--align", "right", "--widthtype", "pixel", "--width", "160",
                 "--heighttype", "pixel", "--height", "32", "--SetDockType", "true", "--expand", "false"},
                ClientEnvironment(), {});
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  while (TrayWindow().empty() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(50ms);
  if (TrayWindow().empty()) throw std::runtime_error("the tray host did not start");
}

void XDisplay::Shutdown() {
  KillAndReap(tray_);
  KillAndReap(xvfb_);
  std::error_code ignored;
  if (!folder_.empty()) fs::remove_all(folder_, ignored);
}

XDisplay::XDisplay(const std::string& existingName) : name_(existingName) {}

XDisplay::~XDisplay() {
  Shutdown();
}

std::vector<std::string> XDisplay::ClientEnvironment() const {
  std::vector<std::string> environment = {"DISPLAY=" + name_};
  if (!authority_.empty()) environment.push_back("XAUTHORITY=" + authority_.string());
  return environment;
}

std::string XDisplay::Run(const std::vector<std::string>& argv, int* exitCode) const {
  std::string output;
  int rc = RunCommand(argv, &output, ClientEnvironment());
  if (exitCode != nullptr) *exitCode = rc;
  return output;
}

std::string XDisplay::TrayWindow() const {
  const auto windows = Words(Run({"xdotool", "search", "--classname", "^panel$"}));
  return windows.empty() ? std::string() : windows.front();
}

std::vector<std::string> XDisplay::FindWindows(const std::string& nameRegex, bool all) const {
  std::vector<std::string> argv = {"xdotool", "search"};
  if (!all) argv.push_back("--onlyvisible");
  argv.insert(argv.end(), {"--name", nameRegex});
  return Words(Run(argv));
}

std::string XDisplay::WaitForWindow(const std::string& nameRegex, std::chrono::milliseconds timeout) const {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  do {
    const auto windows = FindWindows(nameRegex);
    if (!windows.empty()) return windows.front();
    std::this_thread::sleep_for(50ms);
  } while (std::chrono::steady_clock::now() < deadline);
  return {};
}

bool XDisplay::IsViewable(const std::string& window) const {
  return Run({"xwininfo", "-id", window}).find("IsViewable") != std::string::npos;
}

std::vector<std::string> XDisplay::Children(const std::string& window) const {
  const std::string tree = Run({"xwininfo", "-children", "-id", window});
  std::vector<std::string> ids;
  static const std::regex child(R"(^\s+(0x[0-9a-fA-F]+) )");
  std::istringstream in(tree);
  bool inChildren = false;
  for (std::string line; std::getline(in, line);) {
    if (line.find("child") != std::string::npos && line.find(':') != std::string::npos) {
      inChildren = true;
      continue;
    }
    std::smatch match;
    if (inChildren && std::regex_search(line, match, child)) ids.push_back(match[1]);
  }
  return ids;
}

XDisplay::Geometry XDisplay::GeometryOf(const std::string& window) const {
  const std::string info = Run({"xwininfo", "-id", window});
  Geometry g;
  auto field = [&](const std::string& label) {
    const auto at = info.find(label);
    return at == std::string::npos ? 0 : std::atoi(info.c_str() + at + label.size());
  };
  g.x = field("Absolute upper-left X:");
  g.y = field("Absolute upper-left Y:");
  g.width = field("Width:");
  g.height = field("Height:");
  return g;
}

void XDisplay::Click(int x, int y, int button) const {
  Run({"xdotool", "mousemove", "--sync", std::to_string(x), std::to_string(y), "click",
       std::to_string(button)});
}

void XDisplay::ClickWindow(const std::string& window, int relativeX, int relativeY, int button) const {
  const Geometry g = GeometryOf(window);
  Click(g.x + relativeX, g.y + relativeY, button);
}

void XDisplay::Key(const std::string& window, const std::string& keys) const {
  Run({"xdotool", "key", "--window", window, keys});
}

void XDisplay::Screenshot(const fs::path& png) const {
  Run({"import", "-window", "root", png.string()});
}

ProgramFolder::ProgramFolder() : path_(MakeTempFolder("kelmora-program")) {
  fs::copy_file(BuiltProgram(), Executable(), fs::copy_options::overwrite_existing);
}

ProgramFolder::ProgramFolder(const fs::path& parent, const std::string& name,
                             const std::optional<Account>& owner)
    : path_(parent / name), owner_(owner) {
  fs::create_directory(path_);
  fs::permissions(path_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                             fs::perms::others_read | fs::perms::others_exec);
  fs::copy_file(BuiltProgram(), Executable(), fs::copy_options::overwrite_existing);
  if (owner_) GiveTo(path_, *owner_);
}

ProgramFolder::~ProgramFolder() {
  std::error_code ignored;
  if (std::getenv("KEEP_TEST_FOLDERS") == nullptr) fs::remove_all(path_, ignored);
}

void ProgramFolder::WriteIni(const std::string& bytes) const {
  {
    std::ofstream out(path_ / "sistema.ini", std::ios::binary | std::ios::trunc);
    out << bytes;
  }
  if (owner_) GiveTo(path_ / "sistema.ini", *owner_);
}

void ProgramFolder::WriteIni(const std::string& location, const std::string& serverSystem) const {
  std::string text = "[Dados]\r\nDir=" + location + "\r\n";
  if (!serverSystem.empty()) text += "[Backup]\r\nSistema=" + serverSystem + "\r\n";
  WriteIni(text);
}

RunningProgram::RunningProgram(const XDisplay& display, const ProgramFolder& folder,
                               const std::vector<std::string>& arguments,
                               const std::vector<std::string>& extraEnvironment) {
  std::vector<std::string> argv = {folder.Executable().string()};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  Start(display, folder, argv, extraEnvironment);
}

RunningProgram::RunningProgram(const XDisplay& display, const ProgramFolder& folder,
                               const std::vector<std::string>& arguments, const Account& account,
                               const std::vector<std::string>& extraEnvironment)
    : home_(MakeTempFolder("kelmora-home")) {
  const fs::path runtime = home_ / "runtime";
  fs::create_directory(runtime);
  fs::permissions(runtime, fs::perms::owner_all);
  std::vector<std::string> environment = extraEnvironment;
  environment.insert(environment.end(), {"HOME=" + home_.string(), "XDG_RUNTIME_DIR=" + runtime.string()});
  if (!display.AuthorityFile().empty()) {
    // Its own copy: the display's file is private to this process's user.
    const fs::path authority = home_ / ".Xauthority";
    fs::copy_file(display.AuthorityFile(), authority);
    environment.push_back("XAUTHORITY=" + authority.string());
  }
  GiveTo(home_, account);
  std::vector<std::string> argv = {folder.Executable().string()};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  Start(display, folder, AsAccount(account, argv), environment);
}

void RunningProgram::Start(const XDisplay& display, const ProgramFolder& folder,
                           std::vector<std::string> argv, std::vector<std::string> environment) {
  log_ = folder.Path() / ("program-" + std::to_string(::getpid()) + ".log");
  // The given entries win over the display's (the program's own copy of the cookie, for one).
  std::vector<std::string> env = environment;
  for (const std::string& entry : display.ClientEnvironment()) {
    const std::string name = entry.substr(0, entry.find('=') + 1);
    if (std::none_of(environment.begin(), environment.end(),
                     [&](const std::string& given) { return given.starts_with(name); }))
      env.push_back(entry);
  }
  pid_ = Spawn(argv, env, log_, folder.Path());
}

RunningProgram::~RunningProgram() {
  if (!exitCode_) KillAndReap(pid_);
  std::error_code ignored;
  if (!home_.empty()) fs::remove_all(home_, ignored);
}

void RunningProgram::Signal(int signalNumber) const {
  if (pid_ > 0 && !exitCode_) ::kill(pid_, signalNumber);
}

std::optional<int> RunningProgram::WaitForExit(std::chrono::milliseconds timeout) {
  if (exitCode_) return exitCode_;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  do {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      return exitCode_;
    }
    std::this_thread::sleep_for(20ms);
  } while (std::chrono::steady_clock::now() < deadline);
  return std::nullopt;
}

bool RunningProgram::Running() {
  return !WaitForExit(0ms).has_value();
}

std::string RunningProgram::Output() const {
  std::ifstream in(log_);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace testsupport
