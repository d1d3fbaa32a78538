#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/Accounts.h"
#include "tests/support/LoopbackMonitor.h"
#include "tests/support/RunCommand.h"

namespace testsupport {

// A private Firebird 3 server for the tests: its own copy of the server root, its own lock folder,
// security database (SYSDBA / "tidewater") and a free loopback port. It never touches a system-wide
// server or configuration, and it is killed when the object goes away.
class FirebirdServer {
 public:
  static constexpr const char* kUser = "SYSDBA";
  static constexpr const char* kPassword = "tidewater";

  // Prepares the root in a new temporary folder and starts the server.
  FirebirdServer();
  // On a given loopback port instead of a free one (the caller knows the port is free).
  explicit FirebirdServer(int port);
  // Under an unprivileged account, as the packaged server runs under its own: the whole temporary root
  // (server root, security database, lock and data folders) belongs to that account, and the server is
  // started through setpriv. Needs root.
  explicit FirebirdServer(const Account& account);
  // The same in a mount namespace of its own, where the folder `unseen` is an empty one: as a server on
  // another machine, it cannot see what this machine keeps there. Needs root.
  FirebirdServer(const Account& account, const std::filesystem::path& unseen);
  ~FirebirdServer();
  FirebirdServer(const FirebirdServer&) = delete;
  FirebirdServer& operator=(const FirebirdServer&) = delete;

  // The server shared by every test of one test program; started on first use, stopped at exit.
  static FirebirdServer& Shared();

  void Start();
  // The server ignores TERM and INT, so it is stopped with KILL.
  void Stop();
  bool Running() const { return pid_ > 0; }
  // Stops the server process where it stands (STOP) and lets it go on (CONT): a client waiting for its
  // answer waits as long as the test wants, with nothing lost.
  void Pause() const;
  void Resume() const;
  // The account the server runs under; empty when it runs as the test itself.
  const std::optional<Account>& RunsAs() const { return account_; }

  int Port() const { return port_; }
  // "localhost/PORT": the server part of a location, as sistema.ini holds it.
  std::string Host() const;
  // "localhost/PORT:path": a database location / connect string.
  std::string Location(const std::filesystem::path& database) const;
  // "localhost/PORT:service_mgr".
  std::string ServiceManager() const;
  // A folder for test databases and backup files, owned by this server's temporary root.
  const std::filesystem::path& DataDir() const { return data_; }
  // The server's own root and lock folders.
  const std::filesystem::path& RootDir() const { return root_; }
  const std::filesystem::path& LockDir() const { return lock_; }

  // Runs isql-fb as a client of this server with the given script (SQL dialect and character set of
  // the script's own SET/CREATE statements). Returns isql's exit code; its output goes to *output.
  int RunIsql(const std::string& script, std::string* output = nullptr,
              const std::string& charset = "WIN1252") const;
  // Runs gbak as a client of this server through the services manager ("-se").
  int RunGbak(const std::vector<std::string>& arguments, std::string* output = nullptr) const;

 private:
  void Prepare();
  void PrepareRoot();
  void WaitUntilListening() const;

  std::filesystem::path top_;
  std::filesystem::path root_;
  std::filesystem::path lock_;
  std::filesystem::path data_;
  std::optional<Account> account_;
  std::filesystem::path unseen_;
  int port_ = 0;
  int pid_ = -1;
};

}  // namespace testsupport
