#include "services/TIBCustomService.h"

#include <ibase.h>

#include <array>
#include <string_view>

#include "fbclient/ClientErrors.h"
#include "fbclient/ClientLibrary.h"
#include "fbclient/ServerError.h"
#include "fbclient/StatusVector.h"
#include "platform/Text.h"
#include "platform/Wipe.h"

namespace services {

namespace {

using fbclient::RaiseClientError;
using platform::AsciiLower;
using platform::IsBlank;

constexpr std::size_t kMaxSpbValue = 255;
constexpr std::size_t kMaxAttachParams = 32767;  // its length is a signed 16-bit count
constexpr std::size_t kMaxServiceName = 65535;
constexpr std::size_t kMaxRequest = 65535;

struct ServiceParameter {
  std::string_view name;
  unsigned char tag;
  bool accepted;
};

// Names a Params line may carry; only the credentials are accepted in an attach.
constexpr std::array<ServiceParameter, 12> kServiceParameters = {{
    {"user_name", isc_spb_user_name, true},
    {"sys_user_name", isc_spb_sys_user_name, false},
    {"sys_user_name_enc", isc_spb_sys_user_name_enc, false},
    {"password", isc_spb_password, true},
    {"password_enc", isc_spb_password_enc, false},
    {"command_line", isc_spb_command_line, false},
    {"db_name", isc_spb_dbname, false},
    {"verbose", isc_spb_verbose, false},
    {"options", isc_spb_options, false},
    {"connect_timeout", isc_spb_connect_timeout, false},
    {"dummy_packet_interval", isc_spb_dummy_packet_interval, false},
    {"sql_role_name", isc_spb_sql_role_name, false},
}};

}  // namespace

TIBCustomService::TIBCustomService() {
  fbclient::EnsureClientLoaded();
  params_.OnChanging = [this] {
    if (Active()) RaiseClientError(fbclient::kServiceAttached);
  };
  params_.OnChange = [this] { paramsChanged_ = true; };
}

TIBCustomService::~TIBCustomService() {
  WipeParams();
  if (!Active()) return;
  try {
    Detach();
  } catch (...) {
    // The handle is already forgotten; there is no one left to tell.
  }
}

void TIBCustomService::WipeParams() {
  params_.Wipe();
  platform::WipeString(attachParams_);
}

void TIBCustomService::SetActive(bool active) {
  if (active == Active()) return;
  if (active) {
    Attach();
  } else {
    Detach();
  }
}

void TIBCustomService::SetServerName(const std::string& serverName) {
  if (serverName == serverName_) return;
  if (Active()) RaiseClientError(fbclient::kServiceAttached);
  serverName_ = serverName;
}

void TIBCustomService::SetProtocol(TProtocol protocol) {
  if (protocol == protocol_) return;
  if (Active()) RaiseClientError(fbclient::kServiceAttached);
  protocol_ = protocol;
  if (protocol_ == TProtocol::Local) serverName_.clear();
}

std::string TIBCustomService::BuildAttachParams() const {
  std::string buffer = {isc_spb_version, isc_spb_current_version};
  for (const std::string& line : params_) {
    const std::size_t equals = line.find('=');
    const std::string rawName = equals == std::string::npos ? std::string() : line.substr(0, equals);
    if (IsBlank(rawName)) continue;
    std::string name = AsciiLower(rawName);
    if (name.starts_with("isc_spb_")) name.erase(0, 8);
    const std::string_view value = std::string_view(line).substr(equals + 1);

    const ServiceParameter* parameter = nullptr;
    for (const ServiceParameter& candidate : kServiceParameters) {
      if (candidate.name == name) parameter = &candidate;
    }
    if (parameter == nullptr) RaiseClientError(fbclient::kSpbConstantUnknown);
    if (!parameter->accepted) RaiseClientError(fbclient::kSpbConstantNotSupported);
    if (value.size() > kMaxSpbValue) RaiseClientError(fbclient::kSpbValueTooLong, name);
    buffer += static_cast<char>(parameter->tag);
    buffer += static_cast<char>(value.size());
    buffer += value;
  }
  if (buffer.size() > kMaxAttachParams) {
    RaiseClientError(fbclient::kAttachDataTooLong, static_cast<int>(kMaxAttachParams));
  }
  return buffer;
}

std::string TIBCustomService::ServiceName() const {
  switch (protocol_) {
    case TProtocol::TCP:
      return serverName_ + ":service_mgr";
    case TProtocol::SPX:
      return serverName_ + "@service_mgr";
    case TProtocol::NamedPipe:
      return "\\\\" + serverName_ + "\\service_mgr";
    case TProtocol::Local:
      break;
  }
  return "service_mgr";
}

void TIBCustomService::Attach() {
  if (Active()) RaiseClientError(fbclient::kServiceAttached);
  if (serverName_.empty() && protocol_ != TProtocol::Local) RaiseClientError(fbclient::kServerNameMissing);
  if (paramsChanged_) {
    // Built aside: a refused line leaves the flag set, so the next attach builds again from Params and
    // never sends a stale or partial buffer.
    std::string built = BuildAttachParams();
    attachParams_ = std::move(built);
    paramsChanged_ = false;
  }
  const std::string name = ServiceName();
  if (name.size() > kMaxServiceName)
    RaiseClientError(fbclient::kAttachDataTooLong, static_cast<int>(kMaxServiceName));

  const ISC_STATUS result = fbclient::Client().isc_service_attach(
      fbclient::StatusVector(), static_cast<unsigned short>(name.size()), name.data(), &handle_,
      static_cast<unsigned short>(attachParams_.size()), attachParams_.data());
  if (fbclient::Failed(result)) {
    handle_ = 0;
    fbclient::RaiseServerError();
  }
  if (OnAttach) OnAttach(*this);
}

void TIBCustomService::Detach() {
  if (!Active()) RaiseClientError(fbclient::kServiceNotAttached);
  const ISC_STATUS result = fbclient::Client().isc_service_detach(fbclient::StatusVector(), &handle_);
  handle_ = 0;
  if (fbclient::Failed(result)) fbclient::RaiseServerError();
}

void TIBCustomService::ChangeBufferSize(int bufferSize) {
  if (bufferSize < 1 || bufferSize > static_cast<int>(kMaxRequest)) {
    RaiseClientError(fbclient::kBufferSizeOutOfRange);
  }
  if (bufferSize == bufferSize_) return;
  bufferSize_ = bufferSize;
  if (!receiveBuffer_.empty()) receiveBuffer_.assign(static_cast<std::size_t>(bufferSize_), '\0');
}

void TIBCustomService::QueryService() {
  QueryService(std::string_view());
}

void TIBCustomService::QueryService(std::string_view sendItems) {
  if (queryRequest_.empty() || queryRequest_.size() > kMaxRequest || sendItems.size() > kMaxRequest) {
    queryRequest_.clear();
    RaiseClientError(fbclient::kQueryParametersMissing);
  }
  if (receiveBuffer_.empty()) receiveBuffer_.assign(static_cast<std::size_t>(bufferSize_), '\0');
  ISC_STATUS result = 0;
  try {
    result = fbclient::Client().isc_service_query(
        fbclient::StatusVector(), &handle_, nullptr, static_cast<unsigned short>(sendItems.size()),
        sendItems.empty() ? nullptr : sendItems.data(), static_cast<unsigned short>(queryRequest_.size()),
        queryRequest_.data(), static_cast<unsigned short>(receiveBuffer_.size()), receiveBuffer_.data());
  } catch (...) {
    queryRequest_.clear();
    throw;
  }
  queryRequest_.clear();
  if (fbclient::Failed(result)) {
    handle_ = 0;
    fbclient::RaiseServerError();
  }
}

}  // namespace services
