#include "fbclient/Exceptions.h"

namespace fbclient {

EOSError::EOSError(int errorCode, const std::string& systemText)
    : Exception("System Error.  Code: " + std::to_string(errorCode) + ".\r\n" + systemText),
      errorCode_(errorCode) {}

}  // namespace fbclient
