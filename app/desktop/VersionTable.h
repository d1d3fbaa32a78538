#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace app {

// A version table as programs carry one: numeric versions, the translations the table declares and its
// string blocks (named by language and code page, e.g. "041604E4"). Texts are code page 1252.
struct VersionTable {
  struct Translation {
    std::uint16_t language = 0;
    std::uint16_t codePage = 0;
  };
  struct StringBlock {
    std::string name;
    std::vector<std::pair<std::string, std::string>> values;
  };

  std::array<std::uint16_t, 4> fileVersion{};
  std::array<std::uint16_t, 4> productVersion{};
  std::vector<Translation> translations;
  std::vector<StringBlock> stringBlocks;
};

// This program's own table, compiled into it.
const VersionTable& ProgramVersionTable();

// A string of the table by its query path "\StringFileInfo\<block>\<key>"; block and key names match
// without regard to letter case. nullopt when the path names nothing.
std::optional<std::string> QueryVersionString(const VersionTable& table, std::string_view path);

}  // namespace app
