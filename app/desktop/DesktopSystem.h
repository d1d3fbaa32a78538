#pragma once

#include <QDBusConnection>
#include <QPointer>
#include <QString>

#include "app/desktop/DesktopNotifications.h"
#include "platform/MachineSystem.h"

class QDialog;

namespace app {

using platform::MessageBoxKind;

// The system as the desktop program asks it: boxes and modal windows through the window toolkit, the
// date and time separators of the user's locale as the toolkit reads it, the desktop session's bus, its
// notifications and whether it shows icons of programs. Web requests run off the window's thread.
// Everything else is the machine's own. Tests derive from it to record boxes, skip sleeps and set the
// clock.
class DesktopSystem : public platform::MachineSystem {
 public:
  DesktopSystem();
  ~DesktopSystem() override;

  void ShowMessage(MessageBoxKind kind, std::string_view text) override;
  char DateSeparator() override;
  char TimeSeparator() override;
  platform::HttpReply Get(const std::string& url, std::chrono::milliseconds deadline) override;
  platform::HttpReply Post(const std::string& url, std::string_view body,
                           std::chrono::milliseconds deadline) override;
  // Shows a window modally and returns when it is closed.
  virtual void ExecModal(QDialog& dialog);
  // A desktop notification; it waits neither for the user nor for the notification server.
  virtual void Notify(const QString& title, const QString& text, NotificationUrgency urgency);
  // Whether the desktop has a notification area that shows the icons of programs.
  virtual bool TrayAvailable();
  // The desktop session's message bus; not connected when the session has none.
  virtual QDBusConnection SessionBus();

 private:
  // Made with the first notification and owned by the application object, with whose end the session's
  // bus connection goes.
  QPointer<DesktopNotifications> notifications_;
};

// The desktop system in use: the one installed as platform::Current(), or else the desktop's own, which
// is then installed.
DesktopSystem& Desktop();

// A box with a text of the window toolkit.
void ShowMessage(MessageBoxKind kind, const QString& text);

}  // namespace app
