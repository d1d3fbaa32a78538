#include "app/desktop/EventDispatcherChoice.h"

#include <QByteArray>
#include <QtGlobal>

namespace app {
namespace {
constexpr const char* kVariable = "QT_NO_GLIB";
}  // namespace

EventDispatcherChoice::EventDispatcherChoice() {
  if (qEnvironmentVariableIsSet(kVariable)) return;
  set_ = qputenv(kVariable, QByteArray("1"));
}

void EventDispatcherChoice::Forget() {
  if (set_) qunsetenv(kVariable);
  set_ = false;
}

}  // namespace app
