#pragma once

#include "platform/Environment.h"

namespace platform {

// Whether this process's standard error is a stream to the systemd journal: the service manager names
// that stream's device and inode in JOURNAL_STREAM, which a redirection elsewhere does not change. There
// a line that begins with a priority such as "<3>" is logged at that priority.
bool StandardErrorIsJournal(Environment& environment);

}  // namespace platform
