#include "app/desktop/EventDispatcherChoice.h"

namespace app {
namespace {
constexpr const char* kVariable = "QT_NO_GLIB";
}  // namespace

EventDispatcherChoice::EventDispatcherChoice(platform::Environment& environment) : environment_(environment) {
  if (environment_.Variable(kVariable)) return;
  set_ = environment_.SetVariable(kVariable, "1");
}

void EventDispatcherChoice::Forget() {
  if (set_) environment_.UnsetVariable(kVariable);
  set_ = false;
}

}  // namespace app
