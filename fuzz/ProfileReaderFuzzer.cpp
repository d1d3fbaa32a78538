// sistema.ini as any editor, disk fault or stranger may have left it: the reader must answer every
// lookup with a value that really is in the file, or with the default.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/ProfileReader.h"
#include "fuzz/FuzzCheck.h"

namespace {

using fuzz::Require;

void CheckLookup(const core::ProfileReader& reader, const std::string& text, std::string_view section,
                 std::string_view key, std::string_view fallback) {
  const std::string value = reader.ReadString(section, key, fallback);
  Require(value == fallback || text.find(value) != std::string::npos,
          "a value is either the default or a piece of the file");
  Require(value == fallback || value.find_first_of("\r\n") == std::string::npos,
          "a value never runs over the end of its line");
  Require(value == reader.ReadString(section, key, fallback), "reading twice gives the same value");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const core::ProfileReader reader = core::ProfileReader::FromText(text);

  // The two values the program reads, with the defaults it reads them with.
  CheckLookup(reader, text, "Dados", "Dir", "");
  CheckLookup(reader, text, "Backup", "Sistema", "Windows");
  // Names match without regard to letter case.
  Require(reader.ReadString("DADOS", "dIR", "") == reader.ReadString("Dados", "Dir", ""),
          "section and key names match in any letter case");
  // Odd names must not confuse the reader either.
  CheckLookup(reader, text, "", "", "\x01");
  CheckLookup(reader, text, "Dados]", "Dir=", "\x01");
  return 0;
}
