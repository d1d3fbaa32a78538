#include "services/TIBControlAndQueryService.h"

#include <ibase.h>

#include <cstring>

#include "fbclient/ClientErrors.h"
#include "fbclient/ClientLibrary.h"

namespace services {

namespace {

// Reply of one line: the item, the 2-byte length, the text, the end byte.
constexpr std::size_t kLineTextOffset = 3;

}  // namespace

std::string TIBControlAndQueryService::ReadOutputLine() {
  if (endOfOutput_) return {};
  if (action_ == 0) fbclient::RaiseClientError(fbclient::kQueryParametersMissing);
  queryRequest_.assign(1, static_cast<char>(isc_info_svc_line));
  QueryService();

  char* reply = receiveBuffer_.data();
  const std::size_t size = receiveBuffer_.size();
  if (size < kLineTextOffset + 1 || reply[0] != isc_info_svc_line) {
    fbclient::RaiseClientError(fbclient::kUnexpectedOutput);
  }
  const ISC_LONG length = fbclient::Client().isc_vax_integer(reply + 1, 2);
  // The end byte must lie inside the buffer: a length beyond it is as malformed as a wrong end byte.
  if (length < 0 || kLineTextOffset + static_cast<std::size_t>(length) >= size) {
    fbclient::RaiseClientError(fbclient::kUnexpectedOutput);
  }
  const std::size_t end = kLineTextOffset + static_cast<std::size_t>(length);
  if (reply[end] != isc_info_end) fbclient::RaiseClientError(fbclient::kUnexpectedOutput);
  if (length == 0) {
    endOfOutput_ = true;
    return {};
  }
  endOfOutput_ = false;
  reply[end] = '\0';
  const char* text = reply + kLineTextOffset;
  return std::string(text, strnlen(text, static_cast<std::size_t>(length)));
}

}  // namespace services
