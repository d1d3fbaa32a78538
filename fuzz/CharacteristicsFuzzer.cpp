// The reply of the database information request is walked item by item. Whatever the server (or a
// man in the middle) sends, the walk must stay inside the reply and either store what it found or
// refuse the reply with the truncation text.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "Errors.h"
#include "Messages.h"
#include "TIB_ConnectCharacteristics.h"
#include "fuzz/FuzzCheck.h"

namespace {

using fuzz::Require;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A copy of exactly the input's size, so that a read one byte past the reply is caught.
  const std::vector<unsigned char> reply(data, data + size);
  db::TIB_ConnectCharacteristics characteristics;
  characteristics.dbSQLDialect = 7;
  characteristics.dbReadOnly = 7;
  characteristics.dbSizeInPages = 7;
  try {
    db::ParseCharacteristics(reply.data(), reply.size(), characteristics, nullptr);
  } catch (const db::EIB_ConnectionError& error) {
    Require(error.Message() == db::messages::InfoTruncated(), "a reply is only refused as truncated");
    Require(error.Sender() == nullptr, "the error names the component it was given");
    return 0;
  }
  // The three values a reply may leave out must not keep what an earlier reply said.
  bool dialectSent = false;
  for (std::size_t pos = 0; pos + 3 <= reply.size() && reply[pos] != 1;) {
    if (reply[pos] == 62) dialectSent = true;
    pos += 3 + (reply[pos + 1] | (reply[pos + 2] << 8));
  }
  Require(dialectSent || characteristics.dbSQLDialect == 0, "a dialect the reply left out reads 0");
  Require(characteristics.dbFileName.size() <= size && characteristics.firebirdVersion.size() <= size &&
              characteristics.iscVersion.size() <= size,
          "no text is longer than the reply it came from");
  if (!characteristics.firebirdVersion.empty()) {
    Require(characteristics.firebirdVersion.starts_with(characteristics.fbPlatform),
            "the platform code starts the version text");
  }
  return 0;
}
