#include "core/TextEncoding.h"

#include "platform/Cp1252.h"

namespace core {
namespace {

bool IsLinux(std::string_view serverSystem) {
  return serverSystem == "Linux";
}

}  // namespace

std::string DecodeFileText(std::string_view bytes) {
  return cp1252::IsValidUtf8(bytes) ? std::string(bytes) : cp1252::ToUtf8(bytes);
}

std::string ServerText(std::string_view utf8, std::string_view serverSystem) {
  return IsLinux(serverSystem) ? std::string(utf8) : cp1252::FromUtf8(utf8);
}

std::string FromServerText(std::string_view bytes, std::string_view serverSystem) {
  return IsLinux(serverSystem) ? DecodeFileText(bytes) : cp1252::ToUtf8(bytes);
}

std::string LogText(std::string_view utf8) {
  return cp1252::FromUtf8(utf8);
}

}  // namespace core
