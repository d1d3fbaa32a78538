#include "fbclient/ServerError.h"

#include <ibase.h>

#include <cstring>
#include <vector>

#include "fbclient/ClientLibrary.h"
#include "fbclient/Exceptions.h"
#include "fbclient/StatusVector.h"

namespace fbclient {

namespace {

constexpr std::size_t kMessageBufferSize = 20480;
constexpr int kNoPermissionSqlCode = -551;

}  // namespace

ServerError ReadServerError() {
  const ClientEntryPoints& client = Client();
  ISC_STATUS* vector = StatusVector();
  ServerError error;
  error.GdsCode = static_cast<int>(vector[1]);
  error.SQLCode = static_cast<int>(client.isc_sqlcode(vector));

  std::vector<char> buffer(kMessageBufferSize, '\0');
  ISC_STATUS* cursor = vector;
  // A vector holds at most one message per two elements; the bound only guards against a library that
  // never reports the end.
  for (int line = 0; line < ISC_STATUS_LENGTH; ++line) {
    buffer[0] = '\0';
    if (client.isc_interprete(buffer.data(), &cursor) <= 0) break;
    if (!error.Message.empty() && error.Message.back() != '\n') error.Message += "\r\n";
    error.Message.append(buffer.data(), strnlen(buffer.data(), buffer.size()));
  }
  if (!error.Message.empty() && error.Message.back() == '.') error.Message.pop_back();
  return error;
}

void RaiseServerError() {
  ServerError error = ReadServerError();
  if (error.SQLCode == kNoPermissionSqlCode) {
    throw EIBInterBaseRoleError(error.SQLCode, error.GdsCode, error.Message);
  }
  throw EIBInterBaseError(error.SQLCode, error.GdsCode, error.Message);
}

}  // namespace fbclient
