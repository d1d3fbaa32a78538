#include "app/desktop/DesktopNotifications.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QImage>
#include <QVariantMap>

#include "app/desktop/ProgramIcon.h"

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
// The menu entry's and the icon's name, as the package installs them: the desktop groups the
// notifications under the program and finds its icon by this name.
const QString kDesktopEntry = QStringLiteral("kelmora-backup");
// The size the program's picture is drawn in.
constexpr int kImageSide = 32;

// The picture itself, for a copy of the program that no icon theme knows: the "image-data" hint,
// (iiibiiay) width, height, bytes per row, alpha, bits per sample, samples per pixel, RGBA bytes.
struct NotificationImage {
  QImage rgba;
};

}  // namespace

Q_DECLARE_METATYPE(NotificationImage)

namespace {

QDBusArgument& operator<<(QDBusArgument& argument, const NotificationImage& image) {
  const QImage& rgba = image.rgba;
  argument.beginStructure();
  argument << rgba.width() << rgba.height() << static_cast<int>(rgba.bytesPerLine()) << true << 8 << 4
           << QByteArray(reinterpret_cast<const char*>(rgba.constBits()), rgba.sizeInBytes());
  argument.endStructure();
  return argument;
}

// Only sent; QtDBus wants both directions of a type it marshals.
const QDBusArgument& operator>>(const QDBusArgument& argument, NotificationImage&) {
  return argument;
}

NotificationImage ProgramPicture() {
  static const NotificationImage picture{
      app::ProgramIcon().pixmap(kImageSide, kImageSide).toImage().convertToFormat(QImage::Format_RGBA8888)};
  return picture;
}

}  // namespace

namespace app {

DesktopNotifications::DesktopNotifications(QDBusConnection bus, QObject* parent)
    : QObject(parent), bus_(std::move(bus)) {
  static const QMetaType registered = qDBusRegisterMetaType<NotificationImage>();
  (void)registered;
}

void DesktopNotifications::Send(const QString& summary, const QString& body, NotificationUrgency urgency) {
  if (!bus_.isConnected()) return;
  if (bodyMarkup_) {
    SendNow({summary, body, urgency});
    return;
  }
  waiting_.push_back({summary, body, urgency});
  AskCapabilities();
}

void DesktopNotifications::AskCapabilities() {
  if (asking_) return;
  asking_ = true;
  const QDBusMessage ask =
      QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("GetCapabilities"));
  auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(ask), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* answered) {
    answered->deleteLater();
    asking_ = false;
    const QDBusPendingReply<QStringList> reply = *answered;
    // A server that does not answer is asked again with the next notification; these are tried anyway.
    bodyMarkup_ = reply.isValid() && reply.value().contains(QStringLiteral("body-markup"));
    std::vector<Pending> waiting;
    waiting.swap(waiting_);
    for (const Pending& notification : waiting)
      SendNow(notification);
    if (reply.isError()) bodyMarkup_.reset();
  });
}

void DesktopNotifications::SendNow(const Pending& notification) {
  QVariantMap hints;
  hints.insert(
      QStringLiteral("urgency"),
      QVariant::fromValue(static_cast<uchar>(notification.urgency == NotificationUrgency::Critical ? 2 : 1)));
  hints.insert(QStringLiteral("desktop-entry"), kDesktopEntry);
  hints.insert(QStringLiteral("image-data"), QVariant::fromValue(ProgramPicture()));
  QDBusMessage notify = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
  notify << QStringLiteral("Kelmora Backup") << 0u << kDesktopEntry << notification.summary
         << (*bodyMarkup_ ? notification.body.toHtmlEscaped() : notification.body) << QStringList() << hints
         << -1;
  // The reply (the notification's number) is of no use: no notification is replaced or closed later.
  bus_.asyncCall(notify);
}

}  // namespace app
