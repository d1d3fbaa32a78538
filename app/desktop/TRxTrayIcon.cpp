#include "app/desktop/TRxTrayIcon.h"

#include <QCursor>
#include <QMenu>
#include <QTimer>
#include <QWidget>

#include "app/ErrorRoute.h"

namespace app {

TRxTrayIcon::TRxTrayIcon(QObject* owner) : QObject(owner) {}

TRxTrayIcon::~TRxTrayIcon() {
  Deactivate();
}

QString TRxTrayIcon::ShortHint(const QString& hint) {
  const qsizetype bar = hint.indexOf(QLatin1Char('|'));
  return (bar >= 0 ? hint.left(bar) : hint).left(63);
}

void TRxTrayIcon::SetActive(bool active) {
  if (active == active_) return;
  active_ = active;
  if (active) {
    Activate();
  } else {
    Deactivate();
  }
}

void TRxTrayIcon::SetHint(const QString& hint) {
  hint_ = hint;
  if (icon_ != nullptr) icon_->setToolTip(ShortHint(hint_));
}

void TRxTrayIcon::SetIcon(const QIcon& icon) {
  // Trays scale whatever they get; a fixed 32 x 32 picture looks the same in every one of them.
  image_ = icon.isNull() ? QIcon() : QIcon(icon.pixmap(kIconSize, kIconSize));
  if (icon_ == nullptr) return;
  if (image_.isNull()) {
    Deactivate();
  } else {
    icon_->setIcon(image_);
  }
}

bool TRxTrayIcon::Added() const {
  return icon_ != nullptr;
}

void TRxTrayIcon::Activate() {
  Deactivate();
  // A tray entry without a picture would be an invisible, unclickable square.
  if (image_.isNull()) return;
  icon_ = new QSystemTrayIcon(image_, this);
  icon_->setToolTip(ShortHint(hint_));
  // No context menu is handed to Qt: the right button is ours to route, as the clicks are.
  connect(icon_, &QSystemTrayIcon::activated, this, &TRxTrayIcon::Notify);
  // The tray host docks an icon asynchronously. Manual mode removes the icon during start-up, before the
  // message loop runs; shown at once, the host could dock a window that is already gone and keep an empty
  // slot for it. Shown from the loop, an icon removed before then never reaches the host.
  QTimer::singleShot(0, icon_, [icon = icon_] { icon->show(); });
}

void TRxTrayIcon::Deactivate() {
  if (icon_ == nullptr) return;
  icon_->hide();
  delete icon_;
  icon_ = nullptr;
}

void TRxTrayIcon::Notify(QSystemTrayIcon::ActivationReason reason) {
  if (!enabled_) return;
  Guarded([&] {
    const QPoint position = QCursor::pos();
    switch (reason) {
      case QSystemTrayIcon::Trigger:
        Click(MouseButton::Left, position);
        break;
      case QSystemTrayIcon::Context:
        Click(MouseButton::Right, position);
        break;
      case QSystemTrayIcon::DoubleClick:
        // The first press of a double click has already clicked; the second does not click again.
      case QSystemTrayIcon::MiddleClick:
      case QSystemTrayIcon::Unknown:
        break;
    }
  });
}

bool TRxTrayIcon::CanShowPopup() const {
  return active_ && popupMenu_ != nullptr && autoPopup_;
}

void TRxTrayIcon::Click(MouseButton button, QPoint position) {
  if (button == MouseButton::Right && CanShowPopup()) {
    // A grab held by another window would swallow the menu's clicks.
    if (QWidget* grabber = QWidget::mouseGrabber()) grabber->releaseMouse();
    popupMenu_->popup(position);
    return;
  }
  if (OnClick) OnClick(*this, button, position);
}

}  // namespace app
