#include "ConnectionCore.h"

#include <ibase.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <mutex>

#include "ClientLibrary.h"
#include "ComponentLists.h"
#include "DatabaseParameterBuffer.h"
#include "Errors.h"
#include "Messages.h"
#include "ReportClientError.h"
#include "TIB_Component.h"
#include "TIB_Session.h"
#include "platform/ScrambledText.h"
#include "platform/Text.h"
#include "platform/Wipe.h"

namespace db {

namespace {

using platform::IsBlank;
using platform::Trim;
using platform::Upper;

constexpr unsigned char kDpbUserName = isc_dpb_user_name;         // 28
constexpr unsigned char kDpbPassword = isc_dpb_password;          // 29
constexpr unsigned char kDpbRole = isc_dpb_sql_role_name;         // 60
constexpr unsigned char kDpbNumBuffers = isc_dpb_num_buffers;     // 5
constexpr unsigned char kDpbDbKeyScope = isc_dpb_dbkey_scope;     // 13
constexpr unsigned char kDpbForceWrite = isc_dpb_force_write;     // 24
constexpr unsigned char kDpbNoReserve = isc_dpb_no_reserve;       // 27
constexpr unsigned char kDpbCharacterSet = isc_dpb_lc_ctype;      // 48
constexpr unsigned char kDpbSysUserName = isc_dpb_sys_user_name;  // 19
constexpr unsigned char kDpbLicense = isc_dpb_license;            // 18
constexpr unsigned char kDpbMessageFile = isc_dpb_lc_messages;    // 47

// The environment variable that may hold the key the in-memory password is scrambled with.
constexpr const char* kPasswordKeyVariable = "BACKUP_PASSWORD_KEY";

bool IsIdentifier(const std::string& text) {
  if (text.empty()) return false;
  const auto letter = [](char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; };
  if (!letter(text[0])) return false;
  return std::all_of(text.begin(), text.end(),
                     [&](char c) { return letter(c) || std::isdigit(static_cast<unsigned char>(c)); });
}

}  // namespace

ConnectionCore::ConnectionCore(TIB_Component& component, TIB_Connection* connection,
                               const TIB_ConnectionEvent& afterConnect, const ConnectionSystem& system)
    : component_(component), connection_(connection), afterConnect_(afterConnect), system_(system) {
  component_.IB_Session().AddConnection(this);
}

void ConnectionCore::UseSchema(std::unique_ptr<ConnectionSchema> schema) {
  schema_ = std::move(schema);
}

ConnectionCore::~ConnectionCore() {
  platform::WipeString(scrambledPassword_);
}

void ConnectionCore::ReleaseUsers() {
  schema_.reset();
  for (ConnectionStatement* statement : std::vector<ConnectionStatement*>(statements_))
    statement->ForgetConnection(this);
  for (ConnectionTransaction* transaction : std::vector<ConnectionTransaction*>(transactions_)) {
    transaction->ForgetConnection(this);
  }
  component_.IB_Session().RemoveConnection(this);
}

std::string ConnectionCore::Variable(const char* name) const {
  return system_.environment.Variable(name).value_or(std::string());
}

// ----- parameters -----

void ConnectionCore::RequireDisconnected() const {
  if (Connected()) throw EIB_ConnectionError(&component_, messages::ChangeWhileConnected());
}

void ConnectionCore::SetGuarded(const std::string& key, const std::string& value) {
  RequireDisconnected();
  params_.Set(key, value);
}

TIB_DPBFlag ConnectionCore::Flag(const std::string& key, const char* whenTrue, const char* whenFalse) const {
  const auto value = params_.Find(key);
  if (!value) return TIB_DPBFlag::dpbDefault;
  if (*value == whenTrue) return TIB_DPBFlag::dpbTrue;
  if (*value == whenFalse) return TIB_DPBFlag::dpbFalse;
  return TIB_DPBFlag::dpbDefault;
}

void ConnectionCore::SetFlag(const std::string& key, TIB_DPBFlag flag, const char* whenTrue,
                             const char* whenFalse) {
  RequireDisconnected();
  switch (flag) {
    case TIB_DPBFlag::dpbDefault:
      params_.Remove(key);
      break;
    case TIB_DPBFlag::dpbTrue:
      params_.Set(key, whenTrue);
      break;
    case TIB_DPBFlag::dpbFalse:
      params_.Set(key, whenFalse);
      break;
  }
}

std::string ConnectionCore::Password() const {
  if (passwordStorage_ == PasswordStorageMode::psParams) return params_.Value("PASSWORD");
  return platform::UnscrambleBytes(reinterpret_cast<const unsigned char*>(scrambledPassword_.data()),
                                   scrambledPassword_.size(), passwordKey_);
}

void ConnectionCore::SetPassword(const std::string& value) {
  RequireDisconnected();
  std::lock_guard lock(TIB_Session::ProcessLock());
  if (passwordStorage_ == PasswordStorageMode::psParams) {
    params_.Set("PASSWORD", value);
    return;
  }
  passwordKey_ =
      passwordStorage_ == PasswordStorageMode::psKeyFromEnviron ? Variable(kPasswordKeyVariable) : "";
  if (passwordKey_.empty()) passwordKey_ = std::string(platform::scrambling::kBuiltInKey);
  platform::WipeString(scrambledPassword_);
  scrambledPassword_ = platform::ScrambleBytes(value, passwordKey_);
  params_.Remove("PASSWORD");
}

std::string ConnectionCore::SQLRole() {
  for (const char* older : {"ROLE", "SQL ROLE NAME"}) {
    if (const auto value = params_.Find(older)) {
      params_.Remove(older);
      if (!params_.Has("ROLE NAME")) params_.Set("ROLE NAME", *value);
    }
  }
  return params_.Value("ROLE NAME");
}

TIB_Protocol ConnectionCore::Protocol() const {
  const std::string value = Upper(params_.Value("PROTOCOL"));
  if (value == "TCP/IP") return TIB_Protocol::cpTCP_IP;
  if (value == "NETBEUI") return TIB_Protocol::cpNetBEUI;
  if (value == "NOVELL") return TIB_Protocol::cpNovell;
  return TIB_Protocol::cpLocal;
}

void ConnectionCore::SetProtocol(TIB_Protocol protocol) {
  RequireDisconnected();
  switch (protocol) {
    case TIB_Protocol::cpLocal:
      params_.Remove("PROTOCOL");
      break;
    case TIB_Protocol::cpNetBEUI:
      params_.Set("PROTOCOL", "NETBEUI");
      break;
    case TIB_Protocol::cpTCP_IP:
      params_.Set("PROTOCOL", "TCP/IP");
      break;
    case TIB_Protocol::cpNovell:
      params_.Set("PROTOCOL", "NOVELL");
      break;
  }
}

int ConnectionCore::SQLDialect() {
  if (Connected()) {
    const long dialect = Characteristics().dbSQLDialect;
    return dialect <= 0 ? 1 : static_cast<int>(dialect);
  }
  const auto line = params_.Find("SQL DIALECT");
  if (!line) return 3;
  const int dialect = std::atoi(line->c_str());
  return dialect <= 0 ? 1 : dialect;
}

// ----- database name -----

void ConnectionCore::SetDatabaseName(const std::string& text) {
  if (text.find_first_of(".\\:@") != std::string::npos) {
    ParseDatabaseName(text);
    keptName_.clear();
    return;
  }
  if (text == keptName_) return;
  if (text.empty()) {
    keptName_.clear();
    return;
  }
  if (!IsIdentifier(text)) throw EIB_ConnectionError(&component_, messages::InvalidDatabaseName());
  const auto taken = [&](const std::string& candidate) {
    for (ConnectionCore* other : component_.IB_Session().Connections()) {
      if (other != this && other->KeptName() == candidate) return true;
    }
    return false;
  };
  std::string name = text;
  for (int number = 1; taken(name); ++number)
    name = text + "_" + std::to_string(number);
  keptName_ = name;
}

std::string ConnectionCore::DatabaseName() const {
  return keptName_.empty() ? ComposeDatabaseName() : keptName_;
}

void ConnectionCore::ParseDatabaseName(const std::string& p) {
  if (p.size() > 2 && p[1] == ':' && p.find(':', 2) == std::string::npos) {
    SetPath(p);
    SetProtocol(TIB_Protocol::cpLocal);
  } else if (p.find("\\\\") != std::string::npos) {
    const std::string r = p.size() > 2 ? p.substr(2) : std::string();
    const std::size_t slash = r.find('\\');
    SetServer(r.substr(0, slash));
    SetPath(slash == std::string::npos ? std::string() : r.substr(slash + 1));
    SetProtocol(TIB_Protocol::cpNetBEUI);
  } else if (const std::size_t at = p.find('@'); at != std::string::npos) {
    SetServer(p.substr(0, at));
    SetPath(p.substr(at + 1));
    SetProtocol(TIB_Protocol::cpNovell);
  } else if (const std::size_t colon = p.find(':'); colon != std::string::npos) {
    SetServer(p.substr(0, colon));
    SetPath(p.substr(colon + 1));
    SetProtocol(TIB_Protocol::cpTCP_IP);
  } else {
    SetPath(p);
    SetProtocol(TIB_Protocol::cpLocal);
  }
}

std::string ConnectionCore::ComposeDatabaseName() const {
  switch (Protocol()) {
    case TIB_Protocol::cpNetBEUI:
      return "\\\\" + Server() + "\\" + Path();
    case TIB_Protocol::cpTCP_IP:
      return Server() + ":" + Path();
    case TIB_Protocol::cpNovell:
      return Server() + "@" + Path();
    case TIB_Protocol::cpLocal:
      break;
  }
  return Path();
}

// ----- connecting -----

void ConnectionCore::Connect() {
  if (Connected()) return;
  if (BeforeConnect && !component_.Destroying()) BeforeConnect(connection_);
  // A handler of OnError may have connected (and perhaps disconnected again) from inside this
  // attempt; its own Connect already ran the after-connect steps, so they must not run twice.
  if (!AttachDatabase()) return;
  DoAfterConnect();
}

AttachParameters ConnectionCore::ResolveAttachParameters() {
  AttachParameters values;
  const std::string forced = params_.Value("FORCED_DATABASE");
  values.connectString = !forced.empty() ? forced : ComposeDatabaseName();
  if (IsBlank(values.connectString)) {
    if (const auto serverName = params_.Find("SERVER NAME")) {
      ParseDatabaseName(*serverName);
      params_.Remove("SERVER NAME");
      values.connectString = ComposeDatabaseName();
    }
  }
  values.user = Trim(Username());
  {
    std::lock_guard lock(TIB_Session::ProcessLock());
    if (passwordStorage_ != PasswordStorageMode::psParams) values.password = Password();
  }
  if (values.password.empty() || passwordStorage_ == PasswordStorageMode::psParams) {
    const bool local = Protocol() == TIB_Protocol::cpLocal;
    values.password =
        local && params_.Has("LOCAL PASSWORD") ? params_.Value("LOCAL PASSWORD") : params_.Value("PASSWORD");
  }
  values.role = SQLRole();
  if (values.user.empty()) values.user = Variable("ISC_USER");
  if (values.password.empty()) values.password = Variable("ISC_PASSWORD");
  if (values.role.empty()) values.role = Variable("ISC_ROLE");
  if (IsBlank(values.connectString)) values.connectString = Variable("ISC_DATABASE");
  if (IsBlank(values.connectString)) throw EIB_ConnectionError(&component_, messages::EmptyDatabaseName());
  if (!IsValidConnectionPath(Path()))
    throw EIB_ConnectionError(&component_, messages::InvalidConnectionPath());
  return values;
}

std::vector<char> ConnectionCore::BuildDPB(const AttachParameters& values) {
  DatabaseParameterBuffer dpb(&component_);
  dpb.AddText(kDpbUserName, values.user);
  dpb.AddText(kDpbPassword, values.password);
  dpb.AddText(kDpbRole, values.role);
  // The server reads the page buffer count as a number, so it is sent as one; a line that is not a
  // number is ignored and the server's default applies.
  const std::string buffers = Trim(params_.Value("BUFFERS"));
  if (!buffers.empty()) {
    char* end = nullptr;
    const unsigned long count = std::strtoul(buffers.c_str(), &end, 10);
    if (end != nullptr && *end == '\0' && count <= 0x7FFFFFFFUL) {
      dpb.AddInteger(kDpbNumBuffers, static_cast<unsigned int>(count));
    }
  }
  if (const TIB_DPBFlag scope = DBKeyScope(); scope != TIB_DPBFlag::dpbDefault) {
    dpb.AddByte(kDpbDbKeyScope, scope == TIB_DPBFlag::dpbTrue ? 1 : 0);
  }
  if (const TIB_DPBFlag forced = ForcedWrites(); forced != TIB_DPBFlag::dpbDefault) {
    dpb.AddByte(kDpbForceWrite, forced == TIB_DPBFlag::dpbTrue ? 1 : 0);
  }
  if (const TIB_DPBFlag reserve = ReservePageSpace(); reserve != TIB_DPBFlag::dpbDefault) {
    dpb.AddByte(kDpbNoReserve, reserve == TIB_DPBFlag::dpbTrue ? 0 : 1);
  }
  dpb.AddText(kDpbCharacterSet, CharSet());
  dpb.AddText(kDpbSysUserName, SysDBA());
  dpb.AddText(kDpbLicense, License());
  dpb.AddText(kDpbMessageFile, MessageFile());
  if (OnCustomizeDPB) {
    int length = static_cast<int>(dpb.Length());
    OnCustomizeDPB(connection_, length, dpb.Buffer());
    dpb.SetLength(length < 0 ? 0 : static_cast<std::size_t>(length));
  }
  return dpb.Bytes();
}

bool ConnectionCore::AttachDatabase() {
  AttachParameters values = ResolveAttachParameters();
  std::vector<char> dpb;
  try {
    dpb = BuildDPB(values);
  } catch (...) {
    platform::WipeString(values.password);
    throw;
  }
  platform::WipeString(values.password);
  TIB_Session& session = component_.IB_Session();
  bool attached = false;
  try {
    EnsureClientLoaded(&component_, system_.libraries);
    const ClientEntryPoints& client = Client();
    if (client.isc_attach_database == nullptr) {
      session.SetLastResult(-1);
    } else {
      // The lock is held only around the call: events fired later may connect again.
      std::lock_guard lock(TIB_Session::ProcessLock());
      session.ClearStatus();
      handle_ = 0;
      const ISC_STATUS result =
          client.isc_attach_database(session.StatusVector(), 0, values.connectString.c_str(), &handle_,
                                     static_cast<short>(dpb.size()), dpb.data());
      session.SetLastResult(result);
      if (result != 0) handle_ = 0;
      attached = result == 0 && handle_ != 0;
    }
  } catch (...) {
    platform::WipeBytes(dpb.data(), dpb.size());
    throw;
  }
  platform::WipeBytes(dpb.data(), dpb.size());
  if (!attached) ReportClientError(session, &component_);
  lostConnection_ = false;
  return attached;
}

void ConnectionCore::DoAfterConnect() {
  characteristicsValid_ = false;
  schema_->DetectParameterOrder();
  if (component_.Destroying()) return;
  if (OnConnectedChanged) OnConnectedChanged(connection_);
  if (afterConnect_) afterConnect_(connection_);
}

void ConnectionCore::DropDatabase() {
  if (!Connected()) throw EIB_ConnectionError(&component_, messages::DropWithoutConnection());
  DoBeforeDisconnect();
  TIB_Session& session = component_.IB_Session();
  const ISC_STATUS result = Client().isc_drop_database(session.StatusVector(), &handle_);
  session.SetLastResult(result);
  if (result != 0) {
    ReportClientError(session, &component_);
    return;
  }
  handle_ = 0;
  characteristicsValid_ = false;
  DoAfterDisconnect();
}

void ConnectionCore::DoBeforeDisconnect() {
  if (BeforeDisconnect && !component_.Destroying()) BeforeDisconnect(connection_);
  EndTransactions();
  for (ConnectionStatement* statement : std::vector<ConnectionStatement*>(statements_))
    statement->Unprepare();
  FlushStatementHandleCache();
  schema_->Invalidate();
}

void ConnectionCore::Disconnect() {
  if (!Connected()) return;
  DoBeforeDisconnect();
  TIB_Session& session = component_.IB_Session();
  if (!lostConnection_ && Client().isc_detach_database != nullptr) {
    Client().isc_detach_database(session.StatusVector(), &handle_);
  }
  // A refused detach is not reported: the handle is given up either way.
  session.SetLastResult(0);
  handle_ = 0;
  characteristicsValid_ = false;
  DoAfterDisconnect();
}

void ConnectionCore::DoAfterDisconnect() {
  if (component_.Destroying()) return;
  if (OnConnectedChanged) OnConnectedChanged(connection_);
  if (AfterDisconnect) AfterDisconnect(connection_);
}

void ConnectionCore::EndTransactions() {
  // Ending one transaction may add or remove others; walk again from the start when the list changed.
  std::vector<ConnectionTransaction*> ended;
  bool restart = true;
  while (restart) {
    restart = false;
    const std::vector<ConnectionTransaction*> snapshot = transactions_;
    for (ConnectionTransaction* transaction : snapshot) {
      if (std::find(ended.begin(), ended.end(), transaction) != ended.end()) continue;
      ended.push_back(transaction);
      transaction->EndTransaction();
      if (transactions_ != snapshot) {
        restart = true;
        break;
      }
    }
  }
}

// ----- database information -----

const TIB_ConnectCharacteristics& ConnectionCore::Characteristics() {
  if (!Connected()) throw EIB_ConnectionError(&component_, messages::NoCharacteristics());
  if (!characteristicsValid_) ReadCharacteristics();
  return characteristics_;
}

void ConnectionCore::ReadCharacteristics() {
  if (!Connected()) throw EIB_ConnectionError(&component_, messages::NoCharacteristics());
  const std::string items = CharacteristicsItemList();
  characteristics_.dbSQLDialect = 0;
  characteristics_.dbReadOnly = 0;
  characteristics_.dbSizeInPages = 0;
  EnsureClientLoaded(&component_, system_.libraries);
  TIB_Session& session = component_.IB_Session();
  const ClientEntryPoints& client = Client();
  std::vector<char> reply(4096, '\0');
  ISC_STATUS result = -1;
  if (client.isc_database_info != nullptr) {
    result = client.isc_database_info(session.StatusVector(), &handle_, static_cast<short>(items.size()),
                                      items.data(), static_cast<short>(reply.size()), reply.data());
  }
  session.SetLastResult(result);
  if (result != 0) {
    ReportClientError(session, &component_);
    return;
  }
  ParseCharacteristics(reinterpret_cast<const unsigned char*>(reply.data()), reply.size(), characteristics_,
                       &component_);
  characteristicsValid_ = true;
}

// ----- statement handles -----

void ConnectionCore::AcquireStatementHandle(fbclient::Handle& handle) {
  if (handle != 0) return;
  if (!handleCache_.Empty()) {
    handle = handleCache_.Pop();
    return;
  }
  EnsureClientLoaded(&component_, system_.libraries);
  TIB_Session& session = component_.IB_Session();
  ISC_STATUS result = -1;
  if (Client().isc_dsql_allocate_statement != nullptr) {
    result = Client().isc_dsql_allocate_statement(session.StatusVector(), &handle_, &handle);
  }
  session.SetLastResult(result);
  if (result != 0) {
    handle = 0;
    ReportClientError(session, &component_);
  }
}

void ConnectionCore::ReleaseStatementHandle(fbclient::Handle& handle) {
  if (handle == 0 || handle == static_cast<isc_stmt_handle>(-1)) {
    handle = 0;
    return;
  }
  if (CacheStatementHandles) {
    handleCache_.Push(handle);
  } else if (Client().isc_dsql_free_statement != nullptr) {
    TIB_Session& session = component_.IB_Session();
    session.SetLastResult(Client().isc_dsql_free_statement(session.StatusVector(), &handle, DSQL_drop));
  }
  handle = 0;
}

void ConnectionCore::FlushStatementHandleCache() {
  TIB_Session& session = component_.IB_Session();
  while (!handleCache_.Empty()) {
    isc_stmt_handle handle = handleCache_.Pop();
    if (Client().isc_dsql_free_statement != nullptr) {
      session.SetLastResult(Client().isc_dsql_free_statement(session.StatusVector(), &handle, DSQL_drop));
    }
  }
}

void ConnectionCore::MarkConnectionLost() {
  lostConnection_ = true;
  for (ConnectionTransaction* transaction : transactions_)
    transaction->MarkConnectionLost();
}

void ConnectionCore::AddTransaction(ConnectionTransaction* transaction) {
  AddOnce(transactions_, transaction);
}

void ConnectionCore::RemoveTransaction(ConnectionTransaction* transaction) {
  RemoveFrom(transactions_, transaction);
  if (defaultTransaction_ == &transaction->Transaction()) defaultTransaction_ = nullptr;
  if (ownDefaultTransaction_ == &transaction->Transaction()) ownDefaultTransaction_ = nullptr;
}

void ConnectionCore::SetDefaultTransaction(TIB_Transaction* transaction) {
  if (ownDefaultTransaction_ != nullptr && transaction != ownDefaultTransaction_) {
    throw EIB_ConnectionError(&component_, messages::ReplaceOwnDefaultTransaction());
  }
  defaultTransaction_ = transaction;
}

void ConnectionCore::InstallOwnDefaultTransaction(TIB_Transaction* transaction) {
  ownDefaultTransaction_ = transaction;
  defaultTransaction_ = transaction;
}

void ConnectionCore::AddStatement(ConnectionStatement* statement) {
  AddOnce(statements_, statement);
}

void ConnectionCore::RemoveStatement(ConnectionStatement* statement) {
  RemoveFrom(statements_, statement);
}

}  // namespace db
