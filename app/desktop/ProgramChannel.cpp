#include "app/desktop/ProgramChannel.h"

#include <QCryptographicHash>
#include <QDBusConnectionInterface>
#include <QDBusMessage>

#include "app/ErrorRoute.h"

namespace app {
namespace {

const QString kPath = QStringLiteral("/");
const QString kInterface = QStringLiteral("com.kelmora.Backup");
// Long enough for a program in the middle of a job's line, short enough that a program that hangs does
// not keep the user waiting for a window that never comes.
constexpr int kAnswerMilliseconds = 10000;

}  // namespace

QString ProgramChannel::ServiceName(const QString& programFolder) {
  // A bus name allows letters, digits and "_" only, so the folder goes in as a digest of its path.
  const QByteArray digest = QCryptographicHash::hash(programFolder.toUtf8(), QCryptographicHash::Sha256);
  return kInterface + QStringLiteral(".Pasta_") + QString::fromLatin1(digest.toHex().left(32));
}

ProgramChannel::~ProgramChannel() {
  if (service_.isEmpty()) return;
  bus_.unregisterObject(kPath);
  bus_.unregisterService(service_);
}

bool ProgramChannel::Open(QDBusConnection bus, const QString& programFolder) {
  if (!bus.isConnected()) return false;
  const QString service = ServiceName(programFolder);
  if (!bus.registerObject(kPath, this, QDBusConnection::ExportScriptableSlots)) return false;
  if (!bus.registerService(service)) {
    bus.unregisterObject(kPath);
    return false;
  }
  bus_ = bus;
  service_ = service;
  return true;
}

void ProgramChannel::Show() {
  // Delivered by the event loop like a click on the icon: an error goes to the standard error box.
  Guarded([this] {
    if (OnShow) OnShow();
  });
}

bool ShowRunningProgram(QDBusConnection bus, const QString& programFolder) {
  if (!bus.isConnected()) return false;
  const QString service = ProgramChannel::ServiceName(programFolder);
  if (!bus.interface()->isServiceRegistered(service)) return false;
  const QDBusMessage reply =
      bus.call(QDBusMessage::createMethodCall(service, kPath, kInterface, QStringLiteral("Show")),
               QDBus::Block, kAnswerMilliseconds);
  return reply.type() == QDBusMessage::ReplyMessage;
}

}  // namespace app
