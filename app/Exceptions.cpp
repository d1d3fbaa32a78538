#include "app/Exceptions.h"

namespace app {

EInOutError::EInOutError(int errorCode)
    : std::runtime_error("I/O error " + std::to_string(errorCode)), errorCode_(errorCode) {}

}  // namespace app
