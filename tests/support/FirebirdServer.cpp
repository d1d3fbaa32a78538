#include "tests/support/FirebirdServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <thread>

#include "tests/support/ChildProcess.h"

namespace testsupport {
namespace fs = std::filesystem;

namespace {

constexpr const char* kPackagedRoot = "/usr/lib/x86_64-linux-gnu/firebird/3.0";
constexpr const char* kServerBinary = "/usr/sbin/firebird";
constexpr const char* kSetpriv = "/usr/bin/setpriv";

void AppendLine(const fs::path& file, const std::string& text) {
  std::ofstream out(file, std::ios::app);
  out << '\n' << text << '\n';
  if (!out) throw std::runtime_error("cannot write " + file.string());
}

void WriteFile(const fs::path& file, const std::string& text) {
  std::ofstream out(file, std::ios::trunc);
  out << text;
  if (!out) throw std::runtime_error("cannot write " + file.string());
}

}  // namespace

int FreeLoopbackPort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) throw std::runtime_error("socket failed");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    close(fd);
    throw std::runtime_error("cannot find a free loopback port");
  }
  close(fd);
  return ntohs(address.sin_port);
}

int RunCommand(const std::vector<std::string>& argv, std::string* output,
               const std::vector<std::string>& extraEnvironment, const std::string& input) {
  int outPipe[2];
  int inPipe[2];
  if (pipe2(outPipe, O_CLOEXEC) != 0) return -1;
  if (pipe2(inPipe, O_CLOEXEC) != 0) {
    close(outPipe[0]);
    close(outPipe[1]);
    return -1;
  }
  std::vector<std::string> args = argv;
  std::vector<std::string> env = ChildEnvironment(extraEnvironment);
  auto cArgs = CStrings(args);
  auto cEnv = CStrings(env);
  pid_t pid = fork();
  if (pid == 0) {
    dup2(inPipe[0], 0);
    dup2(outPipe[1], 1);
    dup2(outPipe[1], 2);
    execvpe(cArgs[0], cArgs.data(), cEnv.data());
    _exit(127);
  }
  close(inPipe[0]);
  close(outPipe[1]);
  if (pid < 0) {
    close(inPipe[1]);
    close(outPipe[0]);
    return -1;
  }
  // Feed the input from a thread so that a child that writes a lot before reading cannot block us.
  std::thread feeder([fd = inPipe[1], &input] {
    signal(SIGPIPE, SIG_IGN);
    size_t done = 0;
    while (done < input.size()) {
      ssize_t n = write(fd, input.data() + done, input.size() - done);
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    close(fd);
  });
  std::string collected;
  char buffer[8192];
  for (;;) {
    ssize_t n = read(outPipe[0], buffer, sizeof buffer);
    if (n <= 0) break;
    collected.append(buffer, static_cast<size_t>(n));
  }
  close(outPipe[0]);
  feeder.join();
  int status = 0;
  waitpid(pid, &status, 0);
  if (output != nullptr) *output = collected;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

FirebirdServer::FirebirdServer() : FirebirdServer(FreeLoopbackPort()) {}

FirebirdServer::FirebirdServer(int port) : port_(port) {
  Prepare();
  Start();
}

FirebirdServer::FirebirdServer(const Account& account) : account_(account), port_(FreeLoopbackPort()) {
  Prepare();
  // Made by this process (the security database by the embedded isql): all of it is the server's.
  GiveTo(top_, account);
  Start();
}

FirebirdServer::FirebirdServer(const Account& account, const fs::path& unseen)
    : account_(account), unseen_(unseen), port_(FreeLoopbackPort()) {
  Prepare();
  GiveTo(top_, account);
  Start();
}

void FirebirdServer::Prepare() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/kelmora-fb-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  top_ = pattern;
  root_ = top_ / "root";
  lock_ = top_ / "lock";
  data_ = top_ / "data";
  fs::create_directories(lock_);
  fs::create_directories(data_);
  PrepareRoot();
}

FirebirdServer::~FirebirdServer() {
  Stop();
  std::error_code ignored;
  if (std::getenv("KEEP_TEST_SERVER") == nullptr) fs::remove_all(top_, ignored);
}

FirebirdServer& FirebirdServer::Shared() {
  // Ended with the test program like any other server: stopped, and its folder (root, security
  // database, databases: over 20 MB) removed, or every test program would leave one behind.
  static auto* server = new FirebirdServer();
  static bool registered = [] {
    std::atexit([] { delete server; });
    return true;
  }();
  (void)registered;
  return *server;
}

void FirebirdServer::PrepareRoot() {
  // A real copy: with symbolic links in the root the character sets fail to load. The include link
  // points at the system's header folder, which the server does not need.
  fs::create_directories(root_);
  for (const auto& entry : fs::directory_iterator(kPackagedRoot)) {
    if (entry.path().filename() == "include") continue;
    fs::copy(entry.path(), root_ / entry.path().filename(),
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  }
  const fs::path security = root_ / "security3.fdb";
  AppendLine(root_ / "firebird.conf", "RemoteServicePort = " + std::to_string(port_) +
                                          "\nIpcName = KELMORA_TEST_" + std::to_string(port_) +
                                          "\nSecurityDatabase = " + security.string() +
                                          "\nRemoteBindAddress = 127.0.0.1\n");
  WriteFile(root_ / "databases.conf",
            "security.db = " + security.string() + "\n{\n\tRemoteAccess = false\n}\n");

  // Embedded isql with the private root creates the security database and its SYSDBA.
  std::string output;
  const std::string script = "CREATE DATABASE '" + security.string() +
                             "';\nCREATE OR ALTER USER SYSDBA PASSWORD '" + kPassword + "';\nCOMMIT;\n";
  int rc = RunCommand({"isql-fb", "-q"}, &output,
                      {"FIREBIRD=" + root_.string(), "FIREBIRD_LOCK=" + lock_.string()}, script);
  if (rc != 0) throw std::runtime_error("cannot create the security database: " + output);
}

void FirebirdServer::Start() {
  if (pid_ > 0) return;
  std::vector<std::string> args = {kServerBinary};
  if (account_) {
    args = AsAccount(*account_, args);
    args.front() = kSetpriv;  // started with execve, which does not search PATH
  }
  if (!unseen_.empty()) {
    // unshare and the shell exec in turn, so the process started is the server's.
    const std::vector<std::string> hide = {
        "/usr/bin/unshare",
        "--mount",
        "--propagation",
        "private",
        "--",
        "/bin/sh",
        "-c",
        "mount -t tmpfs -o size=1m,mode=0755 kelmora-unseen \"$0\" && exec \"$@\"",
        unseen_.string()};
    args.insert(args.begin(), hide.begin(), hide.end());
  }
  pid_t pid =
      StartLogged(args, ChildEnvironment({"FIREBIRD=" + root_.string(), "FIREBIRD_LOCK=" + lock_.string()}),
                  top_ / "server.log", Detach::Session);
  pid_ = pid;
  WaitUntilListening();
}

void FirebirdServer::Stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGKILL);
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
}

void FirebirdServer::Pause() const {
  if (pid_ > 0) kill(pid_, SIGSTOP);
}

void FirebirdServer::Resume() const {
  if (pid_ > 0) kill(pid_, SIGCONT);
}

void FirebirdServer::WaitUntilListening() const {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < deadline) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port_));
    bool up = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    if (up) return;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) throw std::runtime_error("the test server ended at start");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  throw std::runtime_error("the test server did not start listening");
}

std::string FirebirdServer::Host() const {
  return "localhost/" + std::to_string(port_);
}

std::string FirebirdServer::Location(const fs::path& database) const {
  return Host() + ":" + database.string();
}

std::string FirebirdServer::ServiceManager() const {
  return Host() + ":service_mgr";
}

int FirebirdServer::RunIsql(const std::string& script, std::string* output,
                            const std::string& charset) const {
  return RunCommand({"isql-fb", "-q", "-user", kUser, "-password", kPassword, "-ch", charset}, output, {},
                    script);
}

int FirebirdServer::RunGbak(const std::vector<std::string>& arguments, std::string* output) const {
  std::vector<std::string> argv = {"gbak"};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  argv.insert(argv.end(), {"-se", ServiceManager(), "-user", kUser, "-password", kPassword});
  return RunCommand(argv, output);
}

}  // namespace testsupport
