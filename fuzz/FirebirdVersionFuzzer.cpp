// The Firebird version text comes from the server ("LI-V3.0.11.33703 Firebird 3.0"); statements ask
// for relation aliases only when its major number is above 1. Any text must split into parts that
// are pieces of it and numbers that are never negative.

#include <cstddef>
#include <cstdint>
#include <string>

#include "TIB_ConnectCharacteristics.h"
#include "fuzz/FuzzCheck.h"

namespace {

using fuzz::Require;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  db::TIB_ConnectCharacteristics parts;
  parts.fbMajor = parts.fbMinor = parts.fbRelease = parts.fbBuild = -1;
  parts.fbServerName = "left over";
  db::SplitFirebirdVersion(text, parts);

  Require(parts.fbPlatform == text.substr(0, text.find('-')), "the platform code is the text before '-'");
  Require(parts.fbMajor >= 0 && parts.fbMinor >= 0 && parts.fbRelease >= 0 && parts.fbBuild >= 0,
          "version numbers are never negative");
  Require(text.ends_with(parts.fbServerName), "the server name is the end of the text");
  Require(parts.fbVersionKind.find_first_of("0123456789") == std::string::npos,
          "the version kind holds no digits");
  if (text.find('-') == std::string::npos) {
    Require(parts.fbServerName.empty() && parts.fbMajor == 0, "without '-' there is only the platform");
  }

  // Splitting again gives the same parts: nothing of an earlier text survives.
  db::TIB_ConnectCharacteristics again;
  db::SplitFirebirdVersion(text, again);
  Require(again.fbMajor == parts.fbMajor && again.fbMinor == parts.fbMinor &&
              again.fbRelease == parts.fbRelease && again.fbBuild == parts.fbBuild &&
              again.fbServerName == parts.fbServerName && again.fbVersionKind == parts.fbVersionKind,
          "the split depends on the text alone");
  return 0;
}
