#pragma once

// Everything a connection is besides what the program drives: the parameter lines and the properties
// over them, the attach and detach step by step with their events, the characteristics of the
// attached database, the statement handle cache, and what the connection asks of the schema cache,
// the transactions and the statements that use it. Those live above it, so it knows them by the
// interfaces below, which they implement.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ConnectionParams.h"
#include "Events.h"
#include "StatementHandleCache.h"
#include "TIB_ConnectCharacteristics.h"
#include "db/ConnectionSystem.h"
#include "fbclient/ClientTypes.h"

namespace db {

class ConnectionCore;
class TIB_Component;
class TIB_Transaction;

// A transaction as its connection sees it.
class ConnectionTransaction {
 public:
  virtual TIB_Transaction& Transaction() = 0;
  // The connection disconnects: commit or roll back, by the transaction's rule.
  virtual void EndTransaction() = 0;
  // A transaction's end found the connection gone: no end may reach the server any more.
  virtual void MarkConnectionLost() = 0;
  // The connection goes away.
  virtual void ForgetConnection(ConnectionCore* connection) = 0;

 protected:
  ~ConnectionTransaction() = default;
};

// A statement as its connection sees it.
class ConnectionStatement {
 public:
  // The connection disconnects: the statement gives its handle back and is no longer prepared.
  virtual void Unprepare() = 0;
  // The connection goes away.
  virtual void ForgetConnection(ConnectionCore* connection) = 0;

 protected:
  ~ConnectionStatement() = default;
};

// The schema cache (SchemaCache.h): the catalogue lists a connection keeps for its statements, read on
// first need in an internal read-only transaction and forgotten at every disconnect, and the
// parameter-order test made after every attach.
class ConnectionSchema {
 public:
  virtual ~ConnectionSchema() = default;
  virtual TIB_Transaction& Transaction() = 0;
  virtual void DetectParameterOrder() = 0;
  virtual const std::vector<std::string>& ProcedureNames() = 0;
  // The key columns of a table, from the table-keys list or, for a table not in it, by reading its
  // key alone and adding the result to the list.
  virtual std::vector<std::string> KeyColumnsOf(const std::string& table) = 0;
  // What a buffered cursor asks about each NOT NULL column of its result (SchemaCache.h).
  virtual void LookUpNotNullColumn(const std::string& column, const std::string& table) = 0;
  // Forgets every list; they are read again on next need.
  virtual void Invalidate() = 0;
};

enum class TIB_Protocol { cpLocal, cpNetBEUI, cpTCP_IP, cpNovell };
enum class TIB_DPBFlag { dpbDefault, dpbTrue, dpbFalse };
enum class PasswordStorageMode { psNone, psParams, psNotSecure, psKeyFromEnviron };

// The connection, the DPB length in use (ABufPtr) and the DPB bytes (ABuffer, at least 1024 bytes).
// A handler may append items; it may also enlarge ABuffer. The length must stay within ABuffer.
using TIB_CustomizeDPBEvent =
    std::function<void(TIB_Connection* Sender, int& ABufPtr, std::vector<char>& ABuffer)>;

// The values an attach sends, after the parameter lines and the environment were consulted.
struct AttachParameters {
  std::string connectString;
  std::string user;
  std::string password;
  std::string role;
};

class ConnectionCore {
 public:
  // The connection is the sender of every event (as `connection`) and error (as `component`); its
  // AfterConnect is the one the program assigns.
  ConnectionCore(TIB_Component& component, TIB_Connection* connection,
                 const TIB_ConnectionEvent& afterConnect, const ConnectionSystem& system);
  ~ConnectionCore();
  ConnectionCore(const ConnectionCore&) = delete;
  ConnectionCore& operator=(const ConnectionCore&) = delete;

  TIB_Connection* Connection() const { return connection_; }
  const ConnectionSystem& System() const { return system_; }
  // Its internal transaction joins the connection through this core, so the connection hands it
  // over once the core is in place.
  void UseSchema(std::unique_ptr<ConnectionSchema> schema);
  // The connection's last act: the schema cache goes, and the transactions and statements that use
  // the connection forget it, while they can still reach it through this core.
  void ReleaseUsers();

  // ----- parameters -----
  // The raw lines. Writing them directly bypasses the attached-connection guard of the writers below.
  ConnectionParams& Params() { return params_; }
  const ConnectionParams& Params() const { return params_; }

  std::string Username() const { return params_.Value("USER NAME"); }
  void SetUsername(const std::string& value) { SetGuarded("USER NAME", value); }
  // With psParams the password is the "PASSWORD" line; otherwise it is held in memory, scrambled.
  std::string Password() const;
  void SetPassword(const std::string& value);
  std::string Server() const { return params_.Value("SERVER"); }
  void SetServer(const std::string& value) { SetGuarded("SERVER", value); }
  std::string Path() const { return params_.Value("PATH"); }
  void SetPath(const std::string& value) { SetGuarded("PATH", value); }
  // Reading moves "ROLE" and "SQL ROLE NAME" lines to "ROLE NAME".
  std::string SQLRole();
  void SetSQLRole(const std::string& value) { SetGuarded("ROLE NAME", value); }
  std::string CharSet() const { return params_.Value("CHARACTER SET"); }
  void SetCharSet(const std::string& value) { SetGuarded("CHARACTER SET", value); }
  TIB_Protocol Protocol() const;
  void SetProtocol(TIB_Protocol protocol);
  std::string License() const { return params_.Value("LICENSE"); }
  std::string SysDBA() const { return params_.Value("SYSDBA"); }
  std::string MessageFile() const { return params_.Value("MESSAGE FILE"); }
  TIB_DPBFlag ForcedWrites() const { return Flag("FORCED WRITES", "TRUE", "FALSE"); }
  void SetForcedWrites(TIB_DPBFlag flag) { SetFlag("FORCED WRITES", flag, "TRUE", "FALSE"); }
  TIB_DPBFlag ReservePageSpace() const { return Flag("RESERVE PAGE SPACE", "TRUE", "FALSE"); }
  void SetReservePageSpace(TIB_DPBFlag flag) { SetFlag("RESERVE PAGE SPACE", flag, "TRUE", "FALSE"); }
  TIB_DPBFlag DBKeyScope() const { return Flag("DB_KEY SCOPE", "CONNECTION", "TRANSACTION"); }
  void SetDBKeyScope(TIB_DPBFlag flag) { SetFlag("DB_KEY SCOPE", flag, "CONNECTION", "TRANSACTION"); }
  // Not guarded: the dialect line only matters while detached.
  void SetSQLDialect(int dialect) { params_.Set("SQL DIALECT", std::to_string(dialect)); }

  // The dialect statements are prepared with: the database's own while attached (1 when it reads 0
  // or less), else the "SQL DIALECT" line (3 without one, 1 when 0 or less).
  int SQLDialect();

  PasswordStorageMode PasswordStorage() const { return passwordStorage_; }
  void SetPasswordStorage(PasswordStorageMode storage) { passwordStorage_ = storage; }
  bool CacheStatementHandles = true;

  // ----- database name -----
  // A text with ".", "\", ":" or "@" is a location and is parsed; any other must be an identifier
  // and is kept as the name ("_1", "_2"... appended when another connection of the session has it).
  void SetDatabaseName(const std::string& text);
  std::string DatabaseName() const;
  const std::string& KeptName() const { return keptName_; }
  void ParseDatabaseName(const std::string& location);
  std::string ComposeDatabaseName() const;

  // ----- connecting -----
  void Connect();
  void Disconnect();
  bool Connected() const { return handle_ != 0; }
  // Deletes the attached database on the server and gives up the attachment, after ending the
  // transactions and statements as a disconnect does. Not connected: EIB_ConnectionError. A refused
  // drop goes the way of every failed call (OnError, then EIB_ISCError) and leaves the attachment.
  void DropDatabase();
  fbclient::Handle Handle() const { return handle_; }
  // Where the client library reads and writes the attachment's handle.
  fbclient::Handle* HandleAddress() { return &handle_; }

  // The attach's values and its parameter buffer, the two steps of an attach that need no server.
  AttachParameters ResolveAttachParameters();
  std::vector<char> BuildDPB(const AttachParameters& values);

  // AfterConnect, the one the program assigns, is the connection's own.
  TIB_ConnectionEvent BeforeConnect;
  TIB_ConnectionEvent BeforeDisconnect;
  TIB_ConnectionEvent AfterDisconnect;
  TIB_ConnectionEvent OnConnectedChanged;
  TIB_CustomizeDPBEvent OnCustomizeDPB;

  // ----- database information -----
  // Read on first need after each attach; raises "Não foi possível obter..." when not attached.
  const TIB_ConnectCharacteristics& Characteristics();
  void ReadCharacteristics();

  // ----- for transactions and statements -----
  TIB_Transaction* DefaultTransaction() const { return defaultTransaction_; }
  // Once the connection has a default transaction of its own, no other may take its place.
  void SetDefaultTransaction(TIB_Transaction* transaction);
  void InstallOwnDefaultTransaction(TIB_Transaction* transaction);
  ConnectionSchema& Schema() { return *schema_; }

  void AcquireStatementHandle(fbclient::Handle& handle);
  void ReleaseStatementHandle(fbclient::Handle& handle);
  void FlushStatementHandleCache();
  const StatementHandleCache& StatementHandles() const { return handleCache_; }

  // A transaction's end failed because the connection is gone: no detach will be tried.
  void MarkConnectionLost();
  bool ConnectionLost() const { return lostConnection_; }

  // The transactions and statements that use the connection, in the order they joined it.
  void AddTransaction(ConnectionTransaction* transaction);
  void RemoveTransaction(ConnectionTransaction* transaction);
  const std::vector<ConnectionTransaction*>& Transactions() const { return transactions_; }
  void AddStatement(ConnectionStatement* statement);
  void RemoveStatement(ConnectionStatement* statement);

 private:
  void DoAfterConnect();
  // What comes before a detach or a drop: BeforeDisconnect, the transactions and statements ended.
  // When that throws, the connection stays attached.
  void DoBeforeDisconnect();
  void DoAfterDisconnect();
  // Attaches; true when this call produced the attachment.
  bool AttachDatabase();
  void RequireDisconnected() const;
  // An environment variable's value; empty when it is not set.
  std::string Variable(const char* name) const;
  void SetGuarded(const std::string& key, const std::string& value);
  TIB_DPBFlag Flag(const std::string& key, const char* whenTrue, const char* whenFalse) const;
  void SetFlag(const std::string& key, TIB_DPBFlag flag, const char* whenTrue, const char* whenFalse);
  void EndTransactions();

  TIB_Component& component_;
  TIB_Connection* connection_;
  const TIB_ConnectionEvent& afterConnect_;
  ConnectionSystem system_;
  ConnectionParams params_;
  std::string keptName_;
  PasswordStorageMode passwordStorage_ = PasswordStorageMode::psNone;
  std::string scrambledPassword_;
  std::string passwordKey_;
  fbclient::Handle handle_ = 0;
  TIB_ConnectCharacteristics characteristics_;
  bool characteristicsValid_ = false;
  bool lostConnection_ = false;
  StatementHandleCache handleCache_;
  std::vector<ConnectionTransaction*> transactions_;
  std::vector<ConnectionStatement*> statements_;
  TIB_Transaction* defaultTransaction_ = nullptr;
  TIB_Transaction* ownDefaultTransaction_ = nullptr;
  std::unique_ptr<ConnectionSchema> schema_;
};

}  // namespace db
