#include "core/Exceptions.h"

#include <string>

namespace core {

EInOutError::EInOutError(int errorCode)
    : std::runtime_error("I/O error " + std::to_string(errorCode)), errorCode_(errorCode) {}

}  // namespace core
