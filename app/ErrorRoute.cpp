#include "app/ErrorRoute.h"

#include <QApplication>

#include "app/Text.h"
#include "app/desktop/DesktopSystem.h"

namespace app {

QString StandardErrorText(const std::string& message) {
  QString text = FromCp1252(message);
  if (!message.empty() && static_cast<unsigned char>(message.back()) > static_cast<unsigned char>('.')) {
    text += QLatin1Char('.');
  }
  return text;
}

void ShowStandardError(const std::exception& error) {
  ShowMessage(MessageBoxKind::StandardError, StandardErrorText(error.what()));
}

}  // namespace app
