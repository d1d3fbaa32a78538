#include "app/TRxTrayIcon.h"

#include <QCursor>
#include <QMenu>
#include <QSystemTrayIcon>

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
  image_ = icon;
  if (icon_ != nullptr) icon_->setIcon(image_);
}

bool TRxTrayIcon::Added() const {
  return icon_ != nullptr && icon_->isVisible();
}

void TRxTrayIcon::Activate() {
  Deactivate();
  if (image_.isNull()) return;
  icon_ = new QSystemTrayIcon(image_, this);
  icon_->setToolTip(ShortHint(hint_));
  connect(icon_, &QSystemTrayIcon::activated, this,
          [this](QSystemTrayIcon::ActivationReason reason) { Activated(static_cast<int>(reason)); });
  icon_->show();
}

void TRxTrayIcon::Deactivate() {
  if (icon_ == nullptr) return;
  icon_->hide();
  delete icon_;
  icon_ = nullptr;
}

void TRxTrayIcon::Activated(int reason) {
  if (!enabled_) return;
  Guarded([&] {
    const QPoint position = QCursor::pos();
    switch (static_cast<QSystemTrayIcon::ActivationReason>(reason)) {
      case QSystemTrayIcon::Trigger:
        if (OnClick) OnClick(*this, MouseButton::Left, position);
        break;
      case QSystemTrayIcon::Context:
        if (popupMenu_ != nullptr) popupMenu_->popup(position);
        break;
      default:
        break;
    }
  });
}

}  // namespace app
