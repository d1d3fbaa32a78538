#pragma once

#include <QString>

#include "platform/MachineSystem.h"

class QDialog;

namespace app {
class TRxTrayIcon;
}

namespace app {

using platform::MessageBoxKind;

// The system as the desktop program asks it: boxes and modal windows through the window toolkit, and the
// date and time separators of the user's locale as the toolkit reads it. Everything else is the
// machine's own. Tests derive from it to record boxes, skip sleeps and set the clock.
class DesktopSystem : public platform::MachineSystem {
 public:
  void ShowMessage(MessageBoxKind kind, std::string_view text) override;
  char DateSeparator() override;
  char TimeSeparator() override;
  // Shows a window modally and returns when it is closed.
  virtual void ExecModal(QDialog& dialog);
  // A notification from the program's icon in the notification area; it does not wait for the user.
  virtual void Notify(TRxTrayIcon& icon, const QString& title, const QString& text);
};

// The desktop system in use: the one installed as platform::Current(), or else the desktop's own, which
// is then installed.
DesktopSystem& Desktop();

// A box with a text of the window toolkit.
void ShowMessage(MessageBoxKind kind, const QString& text);

}  // namespace app
