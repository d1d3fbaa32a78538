#include "bench/XClicker.h"

#include <xcb/xtest.h>

#include <cstdlib>
#include <stdexcept>

namespace bench {

XClicker::XClicker(const testsupport::XDisplay& display) {
  // xcb finds the display's cookie through XAUTHORITY.
  if (!display.AuthorityFile().empty()) ::setenv("XAUTHORITY", display.AuthorityFile().c_str(), 1);
  connection_ = xcb_connect(display.Name().c_str(), nullptr);
  if (xcb_connection_has_error(connection_)) {
    xcb_disconnect(connection_);
    throw std::runtime_error("cannot open " + display.Name());
  }
  root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
  xcb_test_get_version_reply_t* version =
      xcb_test_get_version_reply(connection_, xcb_test_get_version(connection_, 2, 2), nullptr);
  if (version == nullptr) {
    xcb_disconnect(connection_);
    throw std::runtime_error("the display has no XTEST extension");
  }
  std::free(version);
}

XClicker::~XClicker() {
  xcb_disconnect(connection_);
}

void XClicker::MoveTo(int x, int y) {
  xcb_test_fake_input(connection_, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, root_, static_cast<int16_t>(x),
                      static_cast<int16_t>(y), 0);
  SyncWithServer();
}

void XClicker::Click() {
  constexpr uint8_t kLeftButton = 1;
  xcb_test_fake_input(connection_, XCB_BUTTON_PRESS, kLeftButton, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
  xcb_test_fake_input(connection_, XCB_BUTTON_RELEASE, kLeftButton, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
  xcb_flush(connection_);
}

void XClicker::SyncWithServer() {
  std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
}

}  // namespace bench
