#pragma once

#include <xcb/xcb.h>

#include <string>

#include "tests/e2e/support/Desktop.h"

namespace bench {

// Mouse clicks through the X server's XTEST extension, as xdotool makes them, but on a connection opened
// beforehand: a timed click then costs the two requests, not a tool's start-up (50 to 260 ms for xdotool
// on the shared development machine, which a job's time would otherwise include).
class XClicker {
 public:
  explicit XClicker(const testsupport::XDisplay& display);
  ~XClicker();
  XClicker(const XClicker&) = delete;
  XClicker& operator=(const XClicker&) = delete;

  // Moves the pointer and waits until the X server has done it.
  void MoveTo(int x, int y);
  // Presses and releases the left button where the pointer is; returns once both are sent.
  void Click();

 private:
  void SyncWithServer();

  xcb_connection_t* connection_ = nullptr;
  xcb_window_t root_ = 0;
};

}  // namespace bench
