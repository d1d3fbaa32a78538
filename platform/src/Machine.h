#pragma once

#include "platform/System.h"

namespace platform {

// The machine's own answers: the build links the Linux or the Windows implementation, never both.
System& MachineSystem();

}  // namespace platform
