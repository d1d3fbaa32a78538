#include "platform/Journal.h"

namespace platform {

// Windows has no systemd journal: the Task Scheduler keeps the exit code, and standard error stays plain.
bool StandardErrorIsJournal(Environment&) {
  return false;
}

}  // namespace platform
