#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "fbclient/ClientTypes.h"
#include "services/LineList.h"

namespace services {

// How the service name is formed from the server name.
enum class TProtocol { TCP, SPX, NamedPipe, Local };

// Trace categories; stored with the component, nothing is traced.
using TTraceFlags = std::uint32_t;

// The base of the components that talk to a server's services manager: connection settings, the
// attach parameter buffer built from Params, and the attachment itself (Active, Attach, Detach).
// Every failure is an exception of fbclient (EIBClientError for the component's own checks,
// EIBInterBaseError / EIBInterBaseRoleError for a failed server call).
//
// Values that do not fit the library's length fields are refused, never cut short:
//   a Params value longer than 255 bytes          client error 120 "SPB value of %s is longer than 255 bytes"
//   an attach parameter buffer above 32767 bytes  client error 121 "Service name or SPB longer than %d bytes"
//   a service name above 65535 bytes              client error 121 (with 65535)
//   BufferSize outside 1..65535                   client error 124 "BufferSize must be between 1 and 65535"
class TIBCustomService {
 public:
  // Runs the client library's ensure-loaded check first: without a usable library the component is
  // not constructed (client error 1, or EOSError for a library that lacks a required entry point).
  TIBCustomService();
  // Detaches a held attachment; a failure to detach is swallowed, as nothing may leave a destructor.
  virtual ~TIBCustomService();
  TIBCustomService(const TIBCustomService&) = delete;
  TIBCustomService& operator=(const TIBCustomService&) = delete;

  // True exactly while a service handle is held; writing true attaches, false detaches, and writing
  // the current value does nothing.
  bool Active() const { return handle_ != 0; }
  void SetActive(bool active);

  const std::string& ServerName() const { return serverName_; }
  // Client error 91 for a different name while attached.
  void SetServerName(const std::string& serverName);

  TProtocol Protocol() const { return protocol_; }
  // Client error 91 for a different protocol while attached; Local empties ServerName.
  void SetProtocol(TProtocol protocol);

  // Lines name=value. Every change while attached raises client error 91 and leaves the list as it was.
  LineList& Params() { return params_; }
  const LineList& Params() const { return params_; }
  void SetParams(std::vector<std::string> lines) { params_.Assign(std::move(lines)); }
  // Overwrites the bytes of Params and of the attach buffer built from them, and empties Params, so that a
  // password lives no longer than the attaches that need it. Allowed while attached: the attachment no
  // longer needs them. Done by the destructor too.
  void WipeParams();

  // There is no credentials prompt in this library: the credentials come from Params whatever the value.
  bool LoginPrompt() const { return loginPrompt_; }
  void SetLoginPrompt(bool loginPrompt) { loginPrompt_ = loginPrompt; }

  TTraceFlags TraceFlags() const { return traceFlags_; }
  void SetTraceFlags(TTraceFlags traceFlags) { traceFlags_ = traceFlags; }

  // Called after every successful attach.
  std::function<void(TIBCustomService& sender)> OnAttach;

  void Attach();
  void Detach();

  // The attach parameter buffer of the current Params (client errors 88, 89, 120, 121).
  std::string BuildAttachParams() const;
  // The name isc_service_attach receives for the current ServerName and Protocol.
  std::string ServiceName() const;

 protected:
  // Sends the query request and fills the receive buffer (client error 93 for an empty request). A
  // failed call forgets the handle without detaching and raises the server error.
  void QueryService();
  // The same with send items ahead of the request (input for the action, for one).
  void QueryService(std::string_view sendItems);

  // Forgets the attachment after a failed start or query: the server may still hold it, but nothing
  // more will be sent over it.
  void ForgetHandle() { handle_ = 0; }

  int BufferSizeValue() const { return bufferSize_; }
  void ChangeBufferSize(int bufferSize);

  fbclient::Handle handle_ = 0;
  std::string queryRequest_;
  // Allocated zero-filled at the first query, kept (and not cleared) between queries.
  std::vector<char> receiveBuffer_;

 private:
  std::string serverName_;
  TProtocol protocol_ = TProtocol::Local;
  LineList params_;
  bool loginPrompt_ = true;
  TTraceFlags traceFlags_ = 0;
  std::string attachParams_;
  // Set until an attach has built attachParams_ from the current Params.
  bool paramsChanged_ = true;
  int bufferSize_ = 32000;
};

}  // namespace services
