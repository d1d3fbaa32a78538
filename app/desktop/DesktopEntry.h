#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace app {

// The desktop entry file format, as far as an autostart entry that starts one program needs it. All texts
// are UTF-8, as the files are.

// One argument of an Exec key, quoted when it holds a reserved character (inside the quotes '"', '`', '$'
// and '\' get a backslash) and with every '%' doubled, since a single one would start a field code.
std::string QuoteExecArgument(std::string_view argument);

// The arguments of an Exec value (already unescaped as a string value): quotes removed, "%%" read as "%".
// nullopt when a quote is left open, since a launcher would refuse such a line.
std::optional<std::vector<std::string>> SplitExecArguments(std::string_view exec);

// The escapes of string values: "\s", "\n", "\t", "\r" and "\\". Escaping writes a backslash, control
// characters and a leading space so that the value survives a reader that trims.
std::string EscapeStringValue(std::string_view text);
std::string UnescapeStringValue(std::string_view value);

// A complete entry, named name, whose Exec line starts program with no arguments.
std::string ComposeAutostartEntry(std::string_view name, std::string_view program);

// The unescaped value of key in the "[Desktop Entry]" group; the first occurrence wins. nullopt when the
// group or the key is missing.
std::optional<std::string> ReadEntryKey(std::string_view contents, std::string_view key);

}  // namespace app
