#include "platform/LocalPath.h"

namespace platform {

bool IsAbsoluteLocalPath(std::string_view path) {
  return path.starts_with('/');
}

}  // namespace platform
