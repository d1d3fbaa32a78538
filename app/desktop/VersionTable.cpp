#include "app/desktop/VersionTable.h"

#include <algorithm>

#include "platform/Cp1252.h"

namespace app {
namespace {

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  return std::ranges::equal(a, b, [&](char x, char y) { return lower(x) == lower(y); });
}

// Splits "\A\B\C" into its parts; empty parts (doubled separators) are skipped.
std::vector<std::string_view> PathParts(std::string_view path) {
  std::vector<std::string_view> parts;
  while (!path.empty()) {
    const auto separator = path.find('\\');
    if (separator != 0) parts.push_back(path.substr(0, separator));
    if (separator == std::string_view::npos) break;
    path.remove_prefix(separator + 1);
  }
  return parts;
}

// Built by a plain function: code page literals inside a lambda crash some compilers.
VersionTable MakeProgramVersionTable() {
  VersionTable table;
  table.fileVersion = {2, 80, 9, 0};
  table.productVersion = {1, 0, 0, 0};
  // Portuguese (Brazil), code page 1252.
  table.translations = {{0x0416, 0x04E4}};
  table.stringBlocks = {{"041604E4",
                         {{"CompanyName", "Kelmora"},
                          {"FileDescription", "Cópia de Segurança do Sistema"_cp1252},
                          {"FileVersion", "2.80.9.0"},
                          {"InternalName", "Backup"},
                          {"LegalCopyright", ""},
                          {"LegalTrademarks", ""},
                          {"OriginalFilename", "Backup"},
                          {"ProductName", ""},
                          {"ProductVersion", "1.0.0.0"}}}};
  return table;
}

}  // namespace

const VersionTable& ProgramVersionTable() {
  static const VersionTable table = MakeProgramVersionTable();
  return table;
}

std::optional<std::string> QueryVersionString(const VersionTable& table, std::string_view path) {
  const auto parts = PathParts(path);
  if (parts.size() != 3 || !SameIgnoringCase(parts[0], "StringFileInfo")) return std::nullopt;
  for (const auto& block : table.stringBlocks) {
    if (!SameIgnoringCase(block.name, parts[1])) continue;
    for (const auto& [key, value] : block.values) {
      if (SameIgnoringCase(key, parts[2])) return value;
    }
  }
  return std::nullopt;
}

}  // namespace app
