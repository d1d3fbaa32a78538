#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace app {

// The window toolkit works in Unicode; the program's texts, files and server lines are code page 1252.
QString FromCp1252(std::string_view text);
std::string ToCp1252(const QString& text);

}  // namespace app
