#include "app/desktop/DesktopSystem.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QLocale>
#include <QMessageBox>
#include <QSystemTrayIcon>

#include "app/desktop/RequestOffTheLoop.h"

namespace app {
namespace {

// The first character of a locale's short format that is not a format letter, a blank or a quote.
char SeparatorOf(const QString& format, char fallback) {
  for (QChar c : format) {
    if (!c.isLetter() && !c.isSpace() && c != QLatin1Char('\''))
      return c.toLatin1() != 0 ? c.toLatin1() : fallback;
  }
  return fallback;
}

}  // namespace

DesktopSystem::DesktopSystem() = default;

DesktopSystem::~DesktopSystem() = default;

void DesktopSystem::ShowMessage(MessageBoxKind kind, std::string_view text) {
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QString title = QApplication::applicationName();
  switch (kind) {
    case MessageBoxKind::Error:
      icon = QMessageBox::Critical;
      title = QStringLiteral("Error");
      break;
    case MessageBoxKind::Information:
      icon = QMessageBox::Information;
      title = QStringLiteral("Information");
      break;
    case MessageBoxKind::Plain:
      break;
    case MessageBoxKind::StandardError:
      icon = QMessageBox::Critical;
      break;
  }
  QMessageBox box(icon, title, QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())),
                  QMessageBox::Ok, QApplication::activeWindow());
  box.exec();
}

char DesktopSystem::DateSeparator() {
  static const char separator = SeparatorOf(QLocale::system().dateFormat(QLocale::ShortFormat), '/');
  return separator;
}

char DesktopSystem::TimeSeparator() {
  static const char separator = SeparatorOf(QLocale::system().timeFormat(QLocale::ShortFormat), ':');
  return separator;
}

void DesktopSystem::ExecModal(QDialog& dialog) {
  dialog.exec();
}

platform::HttpReply DesktopSystem::Get(const std::string& url, std::chrono::milliseconds deadline) {
  return RequestOffTheLoop([&] { return MachineSystem::Get(url, deadline); });
}

platform::HttpReply DesktopSystem::Post(const std::string& url, std::string_view body,
                                        std::chrono::milliseconds deadline) {
  return RequestOffTheLoop([&] { return MachineSystem::Post(url, body, deadline); });
}

void DesktopSystem::Notify(const QString& title, const QString& text, NotificationUrgency urgency) {
  if (notifications_.isNull())
    notifications_ = new DesktopNotifications(SessionBus(), QCoreApplication::instance());
  notifications_->Send(title, text, urgency);
}

bool DesktopSystem::TrayAvailable() {
  return QSystemTrayIcon::isSystemTrayAvailable();
}

QDBusConnection DesktopSystem::SessionBus() {
  return QDBusConnection::sessionBus();
}

DesktopSystem& Desktop() {
  if (auto* installed = dynamic_cast<DesktopSystem*>(&platform::Current())) return *installed;
  static DesktopSystem desktop;
  platform::SetCurrent(&desktop);
  return desktop;
}

void ShowMessage(MessageBoxKind kind, const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  Desktop().ShowMessage(kind, std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

}  // namespace app
