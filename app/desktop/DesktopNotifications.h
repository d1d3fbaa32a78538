#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <optional>
#include <vector>

namespace app {

enum class NotificationUrgency { Normal, Critical };

// Notifications through the session's notification server (org.freedesktop.Notifications on the session
// bus). Every desktop has one, also those without a notification area for icons (GNOME), where a tray
// icon's balloon would be dropped without a trace. Nothing here waits: a missing or slow server must not
// hold the window, so a notification the server never takes is lost.
class DesktopNotifications : public QObject {
  Q_OBJECT

 public:
  explicit DesktopNotifications(QDBusConnection bus, QObject* parent = nullptr);

  void Send(const QString& summary, const QString& body, NotificationUrgency urgency);

 private:
  struct Pending {
    QString summary;
    QString body;
    NotificationUrgency urgency;
  };
  void AskCapabilities();
  void SendNow(const Pending& notification);

  QDBusConnection bus_;
  // Whether the server reads the body as markup, where "<" and "&" of a server's error text would be
  // taken for tags; unknown until it has answered.
  std::optional<bool> bodyMarkup_;
  bool asking_ = false;
  std::vector<Pending> waiting_;
};

}  // namespace app
