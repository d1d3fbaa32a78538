#pragma once

#include "platform/Environment.h"

namespace app {

// The backup job pumps the message queue after every output line, tens of thousands of times in a job
// of a database with many tables, and the server waits for the program at each line. On X11 Qt runs its
// message loop on the desktop library's main loop (GLib) unless QT_NO_GLIB is set; its own loop does the
// same work (one poll of the descriptors, the due timers, the posted and window events) for less per
// pump. A profile of a metadata-heavy job put the pumps at about a third less CPU with Qt's own loop.
//
// Qt reads the variable once, when the application object builds the main thread's dispatcher, so the
// choice is made before that and taken back after it: programs started from here (the browser, the
// remote-support tool) get the environment the user gave this one.
class EventDispatcherChoice {
 public:
  // Sets QT_NO_GLIB, unless the user's environment has it already (then that stays as it is).
  explicit EventDispatcherChoice(platform::Environment& environment);
  // Removes QT_NO_GLIB again if this object set it. Call once the application object exists.
  void Forget();

 private:
  platform::Environment& environment_;
  bool set_ = false;
};

}  // namespace app
