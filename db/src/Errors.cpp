#include "Errors.h"

#include <utility>

namespace db {

std::string EIB_ISCError::Shorten(const std::string& message) {
  if (message.size() <= 255) return message;
  return message.substr(0, 250) + "(...)";
}

EIB_ISCError::EIB_ISCError(TIB_Component* sender, const std::string& message, long errCode,
                           TextLines errorMessage, TextLines errorCodes, long sqlCode, TextLines sqlMessage,
                           TextLines sql)
    : EIB_Error(sender, Shorten(message)),
      errCode_(errCode),
      errorMessage_(std::move(errorMessage)),
      errorCodes_(std::move(errorCodes)),
      sqlCode_(sqlCode),
      sqlMessage_(std::move(sqlMessage)),
      sql_(std::move(sql)) {}

}  // namespace db
