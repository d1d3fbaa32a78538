#include "app/Text.h"

#include "platform/Cp1252.h"

namespace app {

QString FromCp1252(std::string_view text) {
  QString result(static_cast<qsizetype>(text.size()), Qt::Uninitialized);
  QChar* out = result.data();
  for (char c : text)
    *out++ = QChar(static_cast<char16_t>(cp1252::ToUnicode(static_cast<unsigned char>(c))));
  return result;
}

std::string ToCp1252(const QString& text) {
  std::string result;
  result.reserve(static_cast<size_t>(text.size()));
  for (QChar c : text)
    result += cp1252::FromUnicode(c.unicode());
  return result;
}

}  // namespace app
