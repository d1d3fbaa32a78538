#pragma once

// A connection to a Firebird database, as the settings source drives it: where the database is, the login,
// connecting and disconnecting, and the event after a connect. Its parameters, the attach itself and
// what transactions and statements need of it are its core, inside this library.

#include <memory>
#include <string>

#include "Events.h"
#include "TIB_Component.h"
#include "db/ConnectionSystem.h"

namespace db {

class ConnectionCore;

class TIB_Connection : public TIB_Component {
 public:
  explicit TIB_Connection(const ConnectionSystem& system, std::string name = {});
  ~TIB_Connection() override;

  // A location ("server:path" or one of the older forms) is split into server, path and protocol;
  // any other text must be an identifier and is kept as the connection's name.
  void SetDatabaseName(const std::string& text);
  std::string DatabaseName() const;
  void SetUsername(const std::string& user);
  // Held in memory, scrambled, until it is set again; never a parameter line.
  void SetPassword(const std::string& password);

  // Attaches when not attached. A refused attach goes to OnError first; when a handler suppresses
  // it, Connect returns and Connected tells the outcome.
  void Connect();
  void Open() { Connect(); }
  void Disconnect();
  bool Connected() const;
  // Deletes the attached database on the server and gives up the attachment.
  void DropDatabase();

  TIB_ConnectionEvent AfterConnect;

  // The connection's parameters, handle, caches and the transactions and statements using it, for this
  // library's own parts (and its tests); ConnectionCore is declared inside it.
  ConnectionCore& Core() { return *core_; }
  const ConnectionCore& Core() const { return *core_; }

 private:
  std::unique_ptr<ConnectionCore> core_;
};

}  // namespace db
