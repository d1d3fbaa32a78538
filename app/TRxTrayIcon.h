#pragma once

#include <QIcon>
#include <QObject>
#include <QPoint>
#include <QString>
#include <functional>

class QMenu;
class QSystemTrayIcon;

namespace app {

// The program's icon in the notification area. Active decides whether the icon is there; a left click
// calls OnClick, a right click opens the pop-up menu at the pointer.
class TRxTrayIcon : public QObject {
  Q_OBJECT

 public:
  enum class MouseButton { Left, Right, Middle };
  using ClickEvent = std::function<void(TRxTrayIcon& sender, MouseButton button, QPoint position)>;

  explicit TRxTrayIcon(QObject* owner = nullptr);
  ~TRxTrayIcon() override;

  bool Active() const { return active_; }
  void SetActive(bool active);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled) { enabled_ = enabled; }
  QString Hint() const { return hint_; }
  void SetHint(const QString& hint);
  void SetIcon(const QIcon& icon);
  void SetPopupMenu(QMenu* menu) { popupMenu_ = menu; }
  QMenu* PopupMenu() const { return popupMenu_; }

  ClickEvent OnClick;

  // Whether the icon is in the notification area now.
  bool Added() const;
  // The tooltip as the notification area receives it: the part of Hint before a first "|", at most 63
  // characters.
  static QString ShortHint(const QString& hint);

 private:
  void Activate();
  void Deactivate();
  void Activated(int reason);

  QSystemTrayIcon* icon_ = nullptr;
  QMenu* popupMenu_ = nullptr;
  QString hint_;
  QIcon image_;
  bool active_ = false;
  bool enabled_ = true;
};

}  // namespace app
