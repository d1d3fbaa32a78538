#include "ReportClientError.h"

#include <string>

#include "ClientLibrary.h"
#include "Errors.h"
#include "Messages.h"
#include "TIB_Component.h"
#include "platform/Text.h"

namespace db {

namespace {

constexpr int kMessageBufferSize = 4096;
// What isc_sqlcode answers for a status vector it finds no SQL code in.
constexpr long kNoSqlCode = -999;
// The SQL code of an exception a trigger or procedure raised, whose own message is what the user must see.
constexpr long kUserExceptionSqlCode = -836;

}  // namespace

void ReportClientError(TIB_Session& session, TIB_Component* sender) {
  const ClientEntryPoints& client = Client();
  if (client.isc_interprete == nullptr) throw EIB_Error(sender, messages::ClientNotInstalled());

  const long errCode = static_cast<long>(session.LastResult());
  bool raiseException = errCode != 0;
  TextLines errorMessage;
  TextLines errorCodes;
  TextLines sqlMessage;
  TextLines sql;

  errorMessage.push_back("ISC ERROR CODE:" + std::to_string(errCode));
  errorMessage.emplace_back();
  errorMessage.push_back("ISC ERROR MESSAGE:");

  // Each call interprets one message and advances the cursor. The k-th call also lists status vector
  // element k (element 1 being the primary code). The vector has 20 elements, so the loop is bounded
  // even for a library that never returns 0.
  const std::array<ISC_STATUS, 20> status = session.Status();
  const ISC_STATUS* cursor = status.data();
  std::string previous;
  // The buffer is not cleared between calls: the closing call leaves it as it was, so its text equals
  // the previous line and is not added again.
  char buffer[kMessageBufferSize] = {};
  for (std::size_t k = 1; k < status.size(); ++k) {
    ISC_LONG length;
    if (client.fb_interpret != nullptr) {
      length = client.fb_interpret(buffer, kMessageBufferSize, &cursor);
    } else {
      auto* mutableCursor = const_cast<ISC_STATUS*>(cursor);
      length = client.isc_interprete(buffer, &mutableCursor);
      cursor = mutableCursor;
    }
    buffer[kMessageBufferSize - 1] = '\0';
    const std::string line = platform::Trim(buffer);
    if (line != previous) {
      errorMessage.push_back(line);
      previous = line;
    }
    errorCodes.push_back(std::to_string(static_cast<long>(status[k])));
    if (length == 0) break;
  }

  const long sqlCode =
      client.isc_sqlcode != nullptr ? static_cast<long>(client.isc_sqlcode(status.data())) : 0;
  if (sqlCode != kNoSqlCode && sqlCode != 0 && client.isc_sql_interprete != nullptr) {
    buffer[0] = '\0';
    client.isc_sql_interprete(static_cast<short>(sqlCode), buffer, kMessageBufferSize);
    buffer[kMessageBufferSize - 1] = '\0';
    const std::string text = platform::Trim(buffer);
    if (!text.empty()) {
      sqlMessage = {"SQL ERROR CODE:" + std::to_string(sqlCode), "", "SQL ERROR MESSAGE:", text};
    }
  }

  std::string message;
  if (sqlCode == kUserExceptionSqlCode) {
    if (errorMessage.size() > 5) {
      message = errorMessage[5];
    } else if (errorMessage.size() == 5) {
      message = errorMessage[4];
    }
  }
  if (message.empty()) {
    for (const std::string& line : errorMessage)
      message += line + "\r\n";
  }

  if (sender != nullptr && sender->OnError) {
    sender->OnError(sender, errCode, errorMessage, errorCodes, sqlCode, sqlMessage, sql, raiseException);
  }
  if (raiseException && session.OnError) {
    session.OnError(sender, errCode, errorMessage, errorCodes, sqlCode, sqlMessage, sql, raiseException);
  }
  if (raiseException) {
    throw EIB_ISCError(sender, message, errCode, errorMessage, errorCodes, sqlCode, sqlMessage, sql);
  }
}

}  // namespace db
