#pragma once

// Everything the program asks of the system goes through the platform's interfaces, so that a test can put
// its own answers in place of the machine's. Each concern has its own header; code that needs one
// concern includes that header and is handed that interface.
//
// System is all of them at once, reached through Current(): the way the program asked before the concerns
// were handed in one by one. It stays while callers move off it.

#include "platform/Autostart.h"
#include "platform/Boxes.h"
#include "platform/Clock.h"
#include "platform/Environment.h"
#include "platform/Files.h"
#include "platform/FolderLocks.h"
#include "platform/HttpClient.h"
#include "platform/Launcher.h"
#include "platform/Libraries.h"
#include "platform/Process.h"

namespace platform {

class System : public Clock,
               public Process,
               public Boxes,
               public Environment,
               public Files,
               public Autostart,
               public Launcher,
               public Libraries,
               public HttpClient,
               public FolderLocks {};

// The system in use: the machine's own (a MachineSystem) unless a test or the desktop program installed
// another.
System& Current();
// Installs a replacement (nullptr restores the machine's own). The caller keeps ownership.
void SetCurrent(System* system);

}  // namespace platform
