#pragma once

#include <filesystem>
#include <string>
#include <vector>

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
  ~FirebirdServer();
  FirebirdServer(const FirebirdServer&) = delete;
  FirebirdServer& operator=(const FirebirdServer&) = delete;

  // The server shared by every test of one test program; started on first use, stopped at exit.
  static FirebirdServer& Shared();

  void Start();
  // The server ignores TERM and INT, so it is stopped with KILL.
  void Stop();
  bool Running() const { return pid_ > 0; }

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
  void PrepareRoot();
  void WaitUntilListening() const;

  std::filesystem::path top_;
  std::filesystem::path root_;
  std::filesystem::path lock_;
  std::filesystem::path data_;
  int port_ = 0;
  int pid_ = -1;
};

// Runs a command line (argv[0] found through PATH) with extra environment entries, collecting its
// standard output and error together. Returns the exit code, or -1 when it could not run.
int RunCommand(const std::vector<std::string>& argv, std::string* output = nullptr,
               const std::vector<std::string>& extraEnvironment = {}, const std::string& input = {});

// A free TCP port on 127.0.0.1 at the time of the call.
int FreeLoopbackPort();

}  // namespace testsupport
