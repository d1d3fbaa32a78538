#pragma once

#include "platform/Win32System.h"

namespace platform {

// The machine's own answers of the system this build is for, for code that replaces a few of them
// (tests, the desktop program) whatever that system is.
using NativeSystem = Win32System;

}  // namespace platform
