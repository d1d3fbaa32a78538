#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/Accounts.h"

namespace testsupport {

// A private session bus (dbus-daemon) for tests of what the program says on a desktop's bus: its
// notifications, and the channel between two of its starts. It runs under the test's account or the
// given one and listens on a socket in a folder that only that account may enter, as a user's session bus
// admits that user only; it starts no service by itself and is killed with the object.
class SessionBus {
 public:
  explicit SessionBus(const std::optional<Account>& account = std::nullopt);
  ~SessionBus();
  SessionBus(const SessionBus&) = delete;
  SessionBus& operator=(const SessionBus&) = delete;

  const std::string& Address() const { return address_; }
  // The environment entry that points a client at this bus.
  std::string ClientVariable() const { return "DBUS_SESSION_BUS_ADDRESS=" + address_; }
  const std::optional<Account>& RunsAs() const { return account_; }

 private:
  std::filesystem::path folder_;
  std::optional<Account> account_;
  std::string address_;
  pid_t pid_ = -1;
};

// One Notify call as the test's notification server received it.
struct ReceivedNotification {
  std::string appName;
  std::string appIcon;
  std::string summary;
  std::string body;
  int urgency = -1;  // the "urgency" hint: 0 low, 1 normal, 2 critical; -1 without one
  std::string desktopEntry;
  int imageWidth = 0;  // of the "image-data" hint; 0 without one
  int imageHeight = 0;
};

// A notification server of the test's own on a session bus: it owns org.freedesktop.Notifications, as the
// desktop's server does, and records every Notify call. Given a display, it also shows each notification
// in a small window of its own ("Notificação"), for the screenshots. It says that it reads the body as
// markup only when asked to. Killed with the object.
class NotificationServer {
 public:
  NotificationServer(const SessionBus& bus, const std::vector<std::string>& displayEnvironment = {},
                     bool bodyMarkup = false);
  ~NotificationServer();
  NotificationServer(const NotificationServer&) = delete;
  NotificationServer& operator=(const NotificationServer&) = delete;

  std::vector<ReceivedNotification> Received() const;
  // Waits until at least `count` notifications have come; what came by then. A test whose own thread must
  // go on meanwhile (an event loop that sends the notifications) passes what to do between looks.
  std::vector<ReceivedNotification> WaitFor(std::size_t count, std::chrono::milliseconds timeout,
                                            const std::function<void()>& meanwhile = {}) const;

 private:
  std::filesystem::path folder_;
  pid_t pid_ = -1;
};

}  // namespace testsupport
