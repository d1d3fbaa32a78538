#include "tests/support/SessionBus.h"

#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "tests/support/ChildProcess.h"

namespace testsupport {
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

fs::path MakeFolder(const std::string& prefix, const std::optional<Account>& account) {
  std::string pattern = (fs::temp_directory_path() / (prefix + "-XXXXXX")).string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  if (account) GiveTo(pattern, *account);
  return pattern;
}

void KillAndReap(pid_t& pid) {
  if (pid <= 0) return;
  kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  pid = -1;
}

template <class Condition>
bool Eventually(Condition condition, std::chrono::milliseconds timeout,
                const std::function<void()>& meanwhile = {}) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    if (meanwhile) meanwhile();
    std::this_thread::sleep_for(20ms);
  }
  return true;
}

bool Accepts(const fs::path& socketPath) {
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string path = socketPath.string();
  path.copy(address.sun_path, sizeof address.sun_path - 1);
  const bool accepted = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return accepted;
}

std::vector<std::string> Launch(std::vector<std::string> argv, const std::optional<Account>& account) {
  return account ? AsAccount(*account, argv) : argv;
}

// The record's fields are tab-separated; a text's tab, line end and backslash are written \t, \n, \\.
std::string Unescaped(const std::string& field) {
  std::string text;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '\\' || i + 1 == field.size()) {
      text += field[i];
      continue;
    }
    const char next = field[++i];
    text += next == 't' ? '\t' : next == 'n' ? '\n' : next;
  }
  return text;
}

}  // namespace

SessionBus::SessionBus(const std::optional<Account>& account)
    : folder_(MakeFolder("kelmora-bus", account)), account_(account) {
  const fs::path socketPath = folder_ / "bus";
  address_ = "unix:path=" + socketPath.string();
  const fs::path config = folder_ / "bus.conf";
  std::ofstream(config)
      << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
         " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
         "<busconfig>\n"
         "  <type>session</type>\n"
         "  <listen>"
      << address_
      << "</listen>\n"
         // The accounts of the tests have no entry in the password database, without which the bus
         // cannot check a client's id; the socket's folder, open to its own account only, keeps others out.
         "  <auth>ANONYMOUS</auth>\n"
         "  <allow_anonymous/>\n"
         "  <policy context=\"default\">\n"
         "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
         "    <allow eavesdrop=\"true\"/>\n"
         "    <allow own=\"*\"/>\n"
         "  </policy>\n"
         "</busconfig>\n";
  if (account) GiveTo(config, *account);
  pid_ = StartLogged(
      Launch({"dbus-daemon", "--nofork", "--nopidfile", "--config-file=" + config.string()}, account),
      ChildEnvironment({}, {"DBUS_SESSION_BUS_ADDRESS"}), folder_ / "bus.log", Detach::ProcessGroup);
  if (!Eventually([&] { return Accepts(socketPath); }, 60s)) {
    KillAndReap(pid_);
    throw std::runtime_error("the session bus did not start");
  }
}

SessionBus::~SessionBus() {
  KillAndReap(pid_);
  std::error_code ignored;
  fs::remove_all(folder_, ignored);
}

NotificationServer::NotificationServer(const SessionBus& bus,
                                       const std::vector<std::string>& displayEnvironment, bool bodyMarkup)
    : folder_(MakeFolder("kelmora-notifications", bus.RunsAs())) {
  std::vector<std::string> argv = {NOTIFICATION_RECORDER, (folder_ / "received").string()};
  if (bodyMarkup) argv.push_back("--body-markup");
  std::vector<std::string> environment;
  for (const std::string& entry : displayEnvironment) {
    // The display's cookie is private to the test's user: another account gets a copy of its own.
    if (entry.starts_with("XAUTHORITY=") && bus.RunsAs()) {
      const fs::path copy = folder_ / "Xauthority";
      fs::copy_file(entry.substr(entry.find('=') + 1), copy);
      GiveTo(copy, *bus.RunsAs());
      environment.push_back("XAUTHORITY=" + copy.string());
    } else {
      environment.push_back(entry);
    }
  }
  environment.push_back(bus.ClientVariable());
  // Without a display the server has nothing to show on; the offscreen platform stands in.
  if (displayEnvironment.empty()) environment.push_back("QT_QPA_PLATFORM=offscreen");
  pid_ = StartLogged(Launch(argv, bus.RunsAs()), ChildEnvironment(environment, {"DISPLAY", "XAUTHORITY"}),
                     folder_ / "server.log", Detach::ProcessGroup);
  // The record exists once the server owns its name.
  if (!Eventually([&] { return fs::exists(folder_ / "received"); }, 60s)) {
    KillAndReap(pid_);
    throw std::runtime_error("the notification server did not start");
  }
}

NotificationServer::~NotificationServer() {
  KillAndReap(pid_);
  std::error_code ignored;
  if (std::getenv("KEEP_TEST_FOLDERS") == nullptr) fs::remove_all(folder_, ignored);
}

std::vector<ReceivedNotification> NotificationServer::Received() const {
  std::vector<ReceivedNotification> received;
  std::stringstream whole;
  whole << std::ifstream(folder_ / "received").rdbuf();
  const std::string text = whole.str();
  // Only whole lines: one still being written is read at the next look.
  for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    std::vector<std::string> fields;
    std::istringstream split(text.substr(start, end - start));
    for (std::string field; std::getline(split, field, '\t');)
      fields.push_back(Unescaped(field));
    if (fields.size() != 8)
      throw std::runtime_error("a record that is not one: " + text.substr(start, end - start));
    ReceivedNotification notification;
    notification.appName = fields[0];
    notification.appIcon = fields[1];
    notification.summary = fields[2];
    notification.body = fields[3];
    notification.urgency = std::stoi(fields[4]);
    notification.desktopEntry = fields[5];
    notification.imageWidth = std::stoi(fields[6]);
    notification.imageHeight = std::stoi(fields[7]);
    received.push_back(notification);
  }
  return received;
}

std::vector<ReceivedNotification> NotificationServer::WaitFor(std::size_t count,
                                                              std::chrono::milliseconds timeout,
                                                              const std::function<void()>& meanwhile) const {
  std::vector<ReceivedNotification> received;
  Eventually(
      [&] {
        received = Received();
        return received.size() >= count;
      },
      timeout, meanwhile);
  return received;
}

}  // namespace testsupport
