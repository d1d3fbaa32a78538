#pragma once

#include <QIcon>
#include <QObject>
#include <QPoint>
#include <QString>
#include <QSystemTrayIcon>
#include <functional>

class QMenu;

namespace app {

// The program's icon in the notification area. Active decides whether the icon is there; a left click
// calls OnClick, a right click opens the pop-up menu at the pointer (or calls OnClick when there is no
// menu to open); the middle button and double clicks do nothing of their own.
class TRxTrayIcon : public QObject {
  Q_OBJECT

 public:
  enum class MouseButton { Left, Right, Middle };
  using ClickEvent = std::function<void(TRxTrayIcon& sender, MouseButton button, QPoint position)>;

  // The size of the picture the notification area gets.
  static constexpr int kIconSize = 32;

  explicit TRxTrayIcon(QObject* owner = nullptr);
  ~TRxTrayIcon() override;

  bool Active() const { return active_; }
  void SetActive(bool active);
  // While false, clicks on the icon are ignored.
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled) { enabled_ = enabled; }
  QString Hint() const { return hint_; }
  void SetHint(const QString& hint);
  // The icon keeps its own 32 x 32 copy of the picture.
  QIcon Icon() const { return image_; }
  void SetIcon(const QIcon& icon);
  void SetPopupMenu(QMenu* menu) { popupMenu_ = menu; }
  QMenu* PopupMenu() const { return popupMenu_; }
  // Whether the right button opens the pop-up menu.
  bool AutoPopup() const { return autoPopup_; }
  void SetAutoPopup(bool autoPopup) { autoPopup_ = autoPopup; }

  ClickEvent OnClick;

  // Whether the icon is in the notification area, or on its way there when the message loop next runs.
  bool Added() const;
  // The tooltip as the notification area receives it: the part of Hint before a first "|", at most 63
  // characters.
  static QString ShortHint(const QString& hint);

  // What the notification area reported: a click (Trigger: left, Context: right), a double click or the
  // middle button. Errors go to the standard error box.
  void Notify(QSystemTrayIcon::ActivationReason reason);

 private:
  void Activate();
  void Deactivate();
  void Click(MouseButton button, QPoint position);
  bool CanShowPopup() const;

  QSystemTrayIcon* icon_ = nullptr;
  QMenu* popupMenu_ = nullptr;
  QString hint_;
  QIcon image_;
  bool active_ = false;
  bool enabled_ = true;
  bool autoPopup_ = true;
};

}  // namespace app
