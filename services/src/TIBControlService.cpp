#include "services/TIBControlService.h"

#include <ibase.h>

#include "fbclient/ClientErrors.h"
#include "fbclient/ClientLibrary.h"
#include "fbclient/ServerError.h"
#include "fbclient/StatusVector.h"

namespace services {

namespace {

constexpr std::size_t kMaxLength = 65535;

}  // namespace

void TIBControlService::ServiceStart() {
  if (!Active()) fbclient::RaiseClientError(fbclient::kServiceNotAttached);
  try {
    BuildStartRequest();
  } catch (...) {
    // Nothing of a refused request may linger for a later send.
    startRequest_.clear();
    throw;
  }
  SendStartRequest();
}

void TIBControlService::SendStartRequest() {
  if (startRequest_.empty()) fbclient::RaiseClientError(fbclient::kStartParametersMissing);
  if (startRequest_.size() > kMaxLength) {
    startRequest_.clear();
    fbclient::RaiseClientError(fbclient::kStartRequestTooLong);
  }
  ISC_STATUS result = 0;
  try {
    result = fbclient::Client().isc_service_start(fbclient::StatusVector(), &handle_, nullptr,
                                                  static_cast<unsigned short>(startRequest_.size()),
                                                  startRequest_.data());
  } catch (...) {
    startRequest_.clear();
    throw;
  }
  startRequest_.clear();
  if (fbclient::Failed(result)) {
    ForgetHandle();
    fbclient::RaiseServerError();
  }
}

void TIBControlService::AddStartParamText(const std::string& text, unsigned char tag) {
  if (text.empty()) return;
  if (text.size() > kMaxLength) fbclient::RaiseClientError(fbclient::kStartItemTooLong);
  startRequest_ += static_cast<char>(tag);
  startRequest_ += static_cast<char>(text.size() & 0xFF);
  startRequest_ += static_cast<char>((text.size() >> 8) & 0xFF);
  startRequest_ += text;
}

void TIBControlService::AddStartParamInt(std::int32_t value, unsigned char tag) {
  const auto bits = static_cast<std::uint32_t>(value);
  startRequest_ += static_cast<char>(tag);
  for (int shift = 0; shift < 32; shift += 8)
    startRequest_ += static_cast<char>((bits >> shift) & 0xFF);
}

}  // namespace services
