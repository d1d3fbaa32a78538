#pragma once

#include <string>

#include "tests/e2e/support/Desktop.h"

namespace testsupport {

// The test display runs no window manager, so nobody would minimise a window. This does what a window
// manager does to a client when the user minimises it: it marks the window iconic in its WM_STATE
// property; the client sees the state change exactly as under a real window manager. Throws when the
// display cannot be reached.
void IconifyLikeAWindowManager(const XDisplay& display, const std::string& windowId);

// Marks the window normal again, as a window manager does before it maps a window the client shows
// again. Left iconic, the window would read as minimised the next time the client looks at its state.
void NormalizeLikeAWindowManager(const XDisplay& display, const std::string& windowId);

}  // namespace testsupport
