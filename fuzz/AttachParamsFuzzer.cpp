// The attach parameter buffer is built from Params lines. Whatever the lines hold, the buffer is
// either refused with one of the component's client errors or well formed: the version bytes, then
// only user name and password items whose one-byte lengths cover exactly the bytes that follow.

#include <ibase.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fbclient/ClientErrors.h"
#include "fbclient/Exceptions.h"
#include "fuzz/ClientDouble.h"
#include "fuzz/FuzzCheck.h"
#include "services/TIBCustomService.h"

namespace {

using fuzz::Require;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t begin = 0;
  while (begin <= text.size()) {
    const std::size_t end = text.find('\n', begin);
    lines.push_back(text.substr(begin, end == std::string::npos ? std::string::npos : end - begin));
    if (end == std::string::npos) break;
    begin = end + 1;
  }
  return lines;
}

void CheckWellFormed(const std::string& buffer, const std::vector<std::string>& lines) {
  Require(buffer.size() >= 2 && buffer[0] == isc_spb_version && buffer[1] == isc_spb_current_version,
          "the buffer starts with the version bytes");
  Require(buffer.size() <= 32767, "the buffer fits its signed 16-bit length");
  std::size_t pos = 2;
  while (pos < buffer.size()) {
    const auto tag = static_cast<unsigned char>(buffer[pos]);
    Require(tag == isc_spb_user_name || tag == isc_spb_password, "only the credentials are sent");
    Require(pos + 1 < buffer.size(), "every item has its length byte");
    const std::size_t length = static_cast<unsigned char>(buffer[pos + 1]);
    Require(pos + 2 + length <= buffer.size(), "an item's length stays inside the buffer");
    const std::string value = buffer.substr(pos + 2, length);
    bool fromALine = false;
    for (const std::string& line : lines) {
      const std::size_t equals = line.find('=');
      if (equals != std::string::npos && line.compare(equals + 1, std::string::npos, value) == 0)
        fromALine = true;
    }
    Require(fromALine, "every value is the whole text after the '=' of a line");
    pos += 2 + length;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::ClientDouble();
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> lines = Lines(text);

  services::TIBCustomService service;
  service.SetParams(lines);
  std::string buffer;
  try {
    buffer = service.BuildAttachParams();
  } catch (const fbclient::EIBClientError& error) {
    const int number = error.SQLCode();
    Require(number == fbclient::kSpbConstantNotSupported || number == fbclient::kSpbConstantUnknown ||
                number == fbclient::kSpbValueTooLong || number == fbclient::kAttachDataTooLong,
            "a refused line raises one of the buffer's own client errors");
    return 0;
  }
  CheckWellFormed(buffer, lines);
  Require(buffer == service.BuildAttachParams(), "building twice gives the same buffer");
  return 0;
}
