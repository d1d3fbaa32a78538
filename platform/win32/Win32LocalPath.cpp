#include "platform/LocalPath.h"

namespace platform {
namespace {

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

bool IsDriveLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

bool IsAbsoluteLocalPath(std::string_view path) {
  // "D:Backup" is relative to drive D's current folder, and "\Backup" to the current drive: neither is
  // one place.
  if (path.size() >= 3 && IsDriveLetter(path[0]) && path[1] == ':' && IsSeparator(path[2])) return true;
  // A share: two separators, then a server name.
  return path.size() >= 3 && IsSeparator(path[0]) && IsSeparator(path[1]) && !IsSeparator(path[2]);
}

}  // namespace platform
