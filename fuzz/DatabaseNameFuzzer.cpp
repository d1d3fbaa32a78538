// The database location comes from the Dir line of sistema.ini. Whatever it holds, writing it as the
// connection's DatabaseName must either be refused with the connection's own error or give a name
// that reads back as written and a connect string that is never blank.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "ConnectionCore.h"
#include "Errors.h"
#include "TIB_Connection.h"
#include "fuzz/FuzzCheck.h"
#include "tests/db/TestSystem.h"

namespace {

using fuzz::Require;

bool IsLocation(const std::string& text) {
  return text.find_first_of(".\\:@") != std::string::npos;
}

// A NetBEUI name reads back as written only when it starts with the two backslashes and names a
// share after the server; the other forms always read back unchanged.
bool ReadsBackUnchanged(const db::TIB_Connection& connection, const std::string& text) {
  if (connection.Core().Protocol() != db::TIB_Protocol::cpNetBEUI) return true;
  return text.starts_with("\\\\") && text.find('\\', 2) != std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The attach falls back to these; a fuzzing run must not depend on the shell it was started from.
  for (const char* name : {"ISC_USER", "ISC_PASSWORD", "ISC_ROLE", "ISC_DATABASE"})
    unsetenv(name);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  db::TIB_Connection connection(db::testing::Machine());
  try {
    connection.SetDatabaseName(text);
  } catch (const db::EIB_ConnectionError&) {
    Require(!IsLocation(text) && !text.empty(), "only a name that is no location can be refused");
    return 0;
  }

  if (IsLocation(text)) {
    Require(!ReadsBackUnchanged(connection, text) || connection.DatabaseName() == text,
            "a location reads back as it was written");
  } else if (!text.empty()) {
    Require(connection.DatabaseName() == text, "a plain name is kept as it was written");
    // A second connection of the same session may not take the same name.
    db::TIB_Connection second(db::testing::Machine());
    second.SetDatabaseName(text);
    Require(second.DatabaseName() == text + "_1", "a taken name gets the first free number");
  }

  try {
    const db::AttachParameters values = connection.Core().ResolveAttachParameters();
    Require(values.connectString.find_first_not_of(" \t\r\n") != std::string::npos,
            "an attach never goes out with a blank connect string");
    if (IsLocation(text) && ReadsBackUnchanged(connection, text))
      Require(values.connectString == text, "the connect string is the location as written");
  } catch (const db::EIB_ConnectionError&) {
    // A blank location or a path that the attach refuses; both are reported, not sent.
  }
  return 0;
}
