#include "fbclient/ClientErrors.h"

#include <array>
#include <string_view>

namespace fbclient {

namespace {

struct ClientErrorEntry {
  int number;
  std::string_view text;
};

// The entries the service path and the library loader raise; the library's other entries serve
// database features this program does not use. The texts are the library's own, spelling included.
constexpr std::array<ClientErrorEntry, 15> kClientErrorTable = {{
    {kClientLibraryNotFound,
     "InterBase library gds32.dll not found in the path. Please install InterBase to use this functionality"},
    {kNotInterBase6Function,
     "%s is an InterBase 6 function. Please upgrade to InterBase 6 to use this functonality"},
    {kSpbConstantNotSupported, "SPB Constant Not supported"},
    {kSpbConstantUnknown, "SPB Constant Unknown"},
    {kServiceNotAttached, "Cannot perform operation -- service is not attached"},
    {kServiceAttached, "Cannot perform operation -- service is attached"},
    {kServerNameMissing, "Server Name Missing"},
    {kQueryParametersMissing, "Query Parameters missing or incorrect"},
    {kStartParametersMissing, "start Parameters missing or incorrect"},
    {kUnexpectedOutput, "Unexpected Output buffer value"},
    {kSpbValueTooLong, "SPB value of %s is longer than 255 bytes"},
    {kAttachDataTooLong, "Service name or SPB longer than %d bytes"},
    {kStartItemTooLong, "start Parameter longer than 65535 bytes"},
    {kStartRequestTooLong, "start Parameters longer than 65535 bytes"},
    {kBufferSizeOutOfRange, "BufferSize must be between 1 and 65535"},
}};

}  // namespace

std::string ClientErrorTemplate(int number) {
  for (const ClientErrorEntry& entry : kClientErrorTable) {
    if (entry.number == number) return std::string(entry.text);
  }
  return {};
}

std::string FormatClientError(int number, const std::vector<FormatArgument>& arguments) {
  const std::string pattern = ClientErrorTemplate(number);
  if (pattern.empty()) return "Client error " + std::to_string(number);
  std::string text;
  std::size_t next = 0;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (c != '%' || i + 1 == pattern.size()) {
      text += c;
      continue;
    }
    const char directive = pattern[++i];
    if (directive == 's' || directive == 'd') {
      if (next < arguments.size()) text += arguments[next].Text();
      ++next;
    } else if (directive == '%') {
      text += '%';
    } else {
      text += '%';
      text += directive;
    }
  }
  return text;
}

}  // namespace fbclient
