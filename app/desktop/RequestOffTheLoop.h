#pragma once

#include <functional>

#include "platform/HttpClient.h"

namespace app {

// Runs a request that may block up to its deadline (a monitor that answers slowly or not at all) on a
// thread of its own, while this thread's event loop goes on: the window repaints and its menus, buttons
// and tray icon answer. The reply comes back through the event loop. An exception of the request is
// thrown here.
platform::HttpReply RequestOffTheLoop(const std::function<platform::HttpReply()>& request);

}  // namespace app
